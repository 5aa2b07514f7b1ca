#include "platform/System.h"

#include "base/Paths.h"

#include <QFile>

#include <fcntl.h>
#include <malloc.h>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace veldrin {

bool openPipe(int fds[2], bool nonBlocking) {
    return pipe2(fds, O_CLOEXEC | (nonBlocking ? O_NONBLOCK : 0)) == 0;
}

void isolateSpawn(posix_spawn_file_actions_t* actions, short* flags, bool newSession) {
    // Belt and braces for descriptors a library opened without close-on-exec
    // (glibc 2.34 and later, which the build requires).
    posix_spawn_file_actions_addclosefrom_np(actions, STDERR_FILENO + 1);
    *flags |= newSession ? POSIX_SPAWN_SETSID : POSIX_SPAWN_SETPGROUP;
}

int openExitWatch(pid_t pid) {
    // -1 on kernels before 5.3: the exit is polled for there.
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

void keepLargeAllocationsMapped() {
    static std::once_flag once;
    std::call_once(once, [] { mallopt(M_MMAP_THRESHOLD, 1024 * 1024); });
}

std::optional<FileStamp> fileStamp(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    const auto ns = [](const timespec& t) { return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec; };
    return FileStamp{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino), std::int64_t(st.st_size),
                     ns(st.st_mtim), ns(st.st_ctim)};
}

QString runHistoryFolder() {
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    return (state.startsWith(QLatin1Char('/')) ? state : homeFolder() + QStringLiteral("/.local/state")) +
           QStringLiteral("/veldrin/runs");
}

std::optional<QByteArray> processStartTime(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray line = stat.readAll();
    // The fields after the command's closing parenthesis; the start time is the 22nd field in all.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return std::nullopt;
    return fields[19];
}

std::optional<QByteArray> executableFile() {
    QByteArray path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), size_t(path.size()));
    if (length > 0)
        return path.left(length);
    return std::nullopt;
}

void keepSettingsBelow(const QString&) {
    // QSettings keeps its files below $XDG_CONFIG_HOME here.
}

LoginStart loginStart() {
    return LoginStart::xdgAutostart;
}

TerminalWindow terminalWindow() {
    return TerminalWindow::terminalEmulator;
}

bool peerIsThisUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid();
}

void keepSocketFromSignalling(int) {
    // MSG_NOSIGNAL on each send instead.
}

ssize_t sendWithoutSignal(int fd, const QByteArray& data) {
    return ::send(fd, data.constData(), size_t(data.size()), MSG_NOSIGNAL);
}

} // namespace veldrin
