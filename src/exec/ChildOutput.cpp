#include "exec/ChildOutput.h"

#include "exec/Spawn.h"
#include "platform/System.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace veldrin {

namespace {

using Clock = std::chrono::steady_clock;

// A descriptor that turns readable when the child exits; -1 where the system
// offers none (then the caller checks every few milliseconds).
class ExitWatch {
public:
    explicit ExitWatch(pid_t pid) : fd_(openExitWatch(pid)) {}
    ~ExitWatch() {
        if (fd_ >= 0)
            close(fd_);
    }
    ExitWatch(const ExitWatch&) = delete;
    ExitWatch& operator=(const ExitWatch&) = delete;
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

// Reaps the child if it has exited.
bool tryReap(pid_t pid, int& status) {
    int waitStatus = 0;
    pid_t r;
    do {
        r = waitpid(pid, &waitStatus, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == pid) {
        status = decodeWaitStatus(waitStatus);
        return true;
    }
    if (r < 0) {
        status = 1; // no longer ours to wait for
        return true;
    }
    return false;
}

int millisecondsUntil(Clock::time_point until) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60 * 60 * 1000));
}

} // namespace

PumpResult pumpChildOutput(const PumpRequest& request) {
    using Outcome = PumpResult::Outcome;
    PumpResult result;
    ExitWatch watch(request.pid);
    bool eof = false;
    Clock::time_point until = request.deadline;
    bool stopSeen = false;    // the user's stop, once looked at
    bool killPending = false; // after the user's TERM, until KILL is sent at killAt
    Clock::time_point killAt;
    char buffer[64 * 1024];

    for (;;) {
        // The user's KILL reaches the whole group after the grace, whether or
        // not the child itself has gone: a helper of it that ignored TERM
        // goes too, and the run ends when nothing of it is left.
        if (killPending && result.exited && ::kill(-request.pid, 0) != 0)
            killPending = false; // nothing left of the group
        if (eof && result.exited && !killPending)
            return result;
        if (Clock::now() >= until && !(killPending && result.exited)) {
            result.outcome = result.exited ? Outcome::finished : Outcome::deadline;
            return result;
        }
        if (!stopSeen && request.terminate.stopRequested()) {
            stopSeen = true;
            // A child that has already exited is not ours to signal any more.
            if (!result.exited) {
                result.terminated = true;
                signalChild(request.pid, SIGTERM);
                killAt = Clock::now() + request.killAfter;
                killPending = true;
            }
        }
        if (killPending && Clock::now() >= killAt) {
            // Once the child is reaped its pid is no longer its own: only the
            // group, whose id stays reserved while a member lives, is signalled.
            if (result.exited)
                ::kill(-request.pid, SIGKILL);
            else
                signalChild(request.pid, SIGKILL);
            killPending = false;
        }
        pollfd fds[4];
        nfds_t count = 0;
        const auto add = [&](int fd) {
            if (fd < 0)
                return -1;
            fds[count] = {fd, POLLIN, 0};
            return static_cast<int>(count++);
        };
        const int outputAt = eof ? -1 : add(request.fd);
        const int exitAt = result.exited ? -1 : add(watch.fd());
        const int stopAt = add(request.stop.fd());
        if (!stopSeen)
            add(request.terminate.fd()); // wakes the poll; looked at on the next turn
        int timeout = millisecondsUntil(until);
        if (killPending)
            timeout = std::min(timeout, millisecondsUntil(killAt));
        if (!stopSeen && request.terminate.stopPossible() && request.terminate.fd() < 0)
            timeout = std::min(timeout, 50);
        if (!result.exited && watch.fd() < 0)
            timeout = std::min(timeout, 10);
        if (stopAt < 0 && request.stop.stopPossible())
            timeout = std::min(timeout, 50); // nothing to wake us for a stop: look now and then

        if (poll(fds, count, timeout) < 0 && errno != EINTR && errno != EAGAIN) {
            // Nothing sensible left to wait on; treat the output as ended.
            eof = true;
        }
        if ((stopAt >= 0 && fds[stopAt].revents != 0) || request.stop.stopRequested()) {
            result.outcome = Outcome::stopped;
            return result;
        }
        if (outputAt >= 0 && fds[outputAt].revents != 0) {
            const ssize_t n = read(request.fd, buffer, sizeof buffer);
            if (n > 0) {
                if (!request.consume(QByteArrayView(buffer, n))) {
                    result.outcome = Outcome::refused;
                    return result;
                }
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                eof = true;
            }
        }
        const bool exitSignalled = exitAt >= 0 ? fds[exitAt].revents != 0 : watch.fd() < 0;
        if (!result.exited && exitSignalled && tryReap(request.pid, result.status)) {
            result.exited = true;
            until = std::min(until, Clock::now() + request.drainAfterExit);
            if (killPending) // reading goes on until the KILL is due
                until = std::max(until, killAt);
        }
    }
}

void endChild(pid_t pid, int readFd, std::chrono::milliseconds termGrace, const StopToken& stop) {
    if (termGrace.count() > 0) {
        signalChild(pid, SIGTERM);
        // Its output is read and dropped meanwhile, so that it is not stuck
        // writing into a full pipe.
        PumpRequest request;
        request.pid = pid;
        request.fd = readFd;
        request.deadline = std::chrono::steady_clock::now() + termGrace;
        request.drainAfterExit = std::chrono::milliseconds(0);
        request.stop = stop;
        request.consume = [](QByteArrayView) { return true; };
        if (pumpChildOutput(request).exited)
            return;
    }
    killAndReap(pid);
}

} // namespace veldrin
