#include "exec/Shell.h"

#include "exec/Spawn.h"

#include <QByteArray>
#include <QStringDecoder>

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace veldrin {

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(std::min<long long>(left, 1000 * 60 * 60)) : 0;
}

// Reads until end of file or the deadline; false when the deadline came first.
bool readToEnd(int fd, QByteArray& out, Clock::time_point deadline) {
    char buffer[65536];
    for (;;) {
        pollfd pfd{fd, POLLIN, 0};
        const int ready = poll(&pfd, 1, millisecondsLeft(deadline));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return true;
        }
        if (ready == 0)
            return false;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            out.append(buffer, n);
        } else if (n == 0) {
            return true;
        } else if (errno != EINTR && errno != EAGAIN) {
            return true;
        }
    }
}

// Waits for the child to exit until the deadline; false when it is still running.
bool reapBefore(pid_t pid, Clock::time_point deadline, int& waitStatus) {
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        const pid_t r = waitpid(pid, &waitStatus, WNOHANG);
        if (r == pid)
            return true;
        if (r < 0 && errno != EINTR) {
            waitStatus = 0;
            return true; // not ours to wait for any more
        }
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::min(pause, std::chrono::milliseconds(millisecondsLeft(deadline) + 1)));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

QString decodeStrictUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return QString();
    return text;
}

} // namespace

QString timeoutDescription(const QString& program, std::chrono::milliseconds timeout) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout).count();
    return program + QStringLiteral(" did not answer within ") + QString::number(seconds) +
           QStringLiteral(" seconds");
}

ShellResult shell(const QStringList& argv, std::chrono::milliseconds timeout) {
    const SpawnResult child = spawnWithPipe(argv);
    if (!child.started())
        return {1, launchErrorDescription(argv.value(0), child.error)};

    const auto deadline = Clock::now() + timeout;
    QByteArray output;
    const bool reachedEnd = readToEnd(child.readFd, output, deadline);
    close(child.readFd);

    int waitStatus = 0;
    if (!reachedEnd || !reapBefore(child.pid, deadline, waitStatus)) {
        // The whole group: a controller that hangs in a helper of its own must
        // not leave that helper behind.
        kill(-child.pid, SIGKILL);
        kill(child.pid, SIGKILL);
        waitForExit(child.pid);
        return {1, timeoutDescription(argv.value(0), timeout)};
    }
    return {decodeWaitStatus(waitStatus), decodeStrictUtf8(output)};
}

} // namespace veldrin
