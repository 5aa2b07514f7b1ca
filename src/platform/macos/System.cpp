#include "platform/System.h"

#include "base/Paths.h"

#include <QFile>
#include <QSettings>

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <mach-o/dyld.h>
#include <sys/event.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysctl.h>
#include <unistd.h>

namespace veldrin {

bool openPipe(int fds[2], bool nonBlocking) {
    // No pipe2 here; children never inherit these all the same, as every
    // spawn has CLOEXEC_DEFAULT.
    if (pipe(fds) != 0)
        return false;
    for (int i = 0; i < 2; ++i) {
        fcntl(fds[i], F_SETFD, FD_CLOEXEC);
        if (nonBlocking)
            fcntl(fds[i], F_SETFL, O_NONBLOCK);
    }
    return true;
}

void isolateSpawn(posix_spawn_file_actions_t* actions, short* flags, bool newSession) {
    // posix_spawnattr_setflags(3): with CLOEXEC_DEFAULT "only file descriptors
    // explicitly described by the file_actions argument are available in the
    // spawned process"; the inherit action keeps standard input.
    *flags |= POSIX_SPAWN_CLOEXEC_DEFAULT | (newSession ? POSIX_SPAWN_SETSID : POSIX_SPAWN_SETPGROUP);
    posix_spawn_file_actions_addinherit_np(actions, STDIN_FILENO);
}

int openExitWatch(pid_t pid) {
    // kqueue(2): the NOTE_EXIT event stays queued, and the queue readable,
    // until kevent() retrieves it, which nothing does. The filter sees only
    // exits after it is added, and the kernel refuses to add it (ESRCH) once
    // the child has begun to exit; then the reap is polled for.
    const int fd = kqueue();
    if (fd < 0)
        return -1;
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    struct kevent change;
    EV_SET(&change, pid, EVFILT_PROC, EV_ADD | EV_ONESHOT, NOTE_EXIT, 0, nullptr);
    if (kevent(fd, &change, 1, nullptr, 0, nullptr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void keepLargeAllocationsMapped() {
    // The system's allocator maps large blocks on its own.
}

std::optional<FileStamp> fileStamp(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    const auto ns = [](const timespec& t) { return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec; };
    return FileStamp{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino), std::int64_t(st.st_size),
                     ns(st.st_mtimespec), ns(st.st_ctimespec)};
}

QString runHistoryFolder() {
    return homeFolder() + QStringLiteral("/Library/Logs/Veldrin");
}

std::optional<QByteArray> processStartTime(pid_t pid) {
    int query[] = {CTL_KERN, KERN_PROC, KERN_PROC_PID, pid};
    struct kinfo_proc info {};
    size_t size = sizeof info;
    if (sysctl(query, 4, &info, &size, nullptr, 0) != 0 || size == 0)
        return std::nullopt;
    return QByteArray::number(qint64(info.kp_proc.p_starttime.tv_sec)) + '.' +
           QByteArray::number(qint64(info.kp_proc.p_starttime.tv_usec));
}

std::optional<QByteArray> executableFile() {
    // dyld(3): a buffer too small answers -1 and the size needed; the path
    // "may be a symbolic link and not the real file".
    uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    QByteArray path(qsizetype(size), '\0');
    char resolved[PATH_MAX];
    if (size > 0 && _NSGetExecutablePath(path.data(), &size) == 0 && realpath(path.constData(), resolved))
        return QByteArray(resolved);
    return std::nullopt;
}

void keepSettingsBelow(const QString& folder) {
    // The native settings are the user's defaults domain, wherever HOME
    // points; these go to a file instead.
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

LoginStart loginStart() {
    return LoginStart::launchAgent;
}

TerminalWindow terminalWindow() {
    return TerminalWindow::appleScript;
}

bool peerIsThisUser(int fd) {
    uid_t uid = 0;
    gid_t gid = 0;
    return getpeereid(fd, &uid, &gid) == 0 && uid == getuid();
}

void keepSocketFromSignalling(int fd) {
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
}

ssize_t sendWithoutSignal(int fd, const QByteArray& data) {
    // Older SDKs lack the flag; there a socket told SO_NOSIGPIPE is the only guard.
#if defined(MSG_NOSIGNAL)
    constexpr int flags = MSG_NOSIGNAL;
#else
    constexpr int flags = 0;
#endif
    return ::send(fd, data.constData(), size_t(data.size()), flags);
}

} // namespace veldrin
