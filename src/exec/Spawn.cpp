#include "exec/Spawn.h"

#include <QByteArray>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace veldrin {

namespace {

struct FileActions {
    posix_spawn_file_actions_t actions;
    FileActions() { posix_spawn_file_actions_init(&actions); }
    ~FileActions() { posix_spawn_file_actions_destroy(&actions); }
};

struct SpawnAttributes {
    posix_spawnattr_t attributes;
    SpawnAttributes() { posix_spawnattr_init(&attributes); }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes); }
};

bool makePipe(int fds[2]) {
#if defined(__APPLE__)
    if (pipe(fds) != 0)
        return false;
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    fcntl(fds[1], F_SETFD, FD_CLOEXEC);
    return true;
#else
    return pipe2(fds, O_CLOEXEC) == 0;
#endif
}

} // namespace

SpawnResult spawnWithPipe(const QStringList& argv) {
    SpawnResult result;
    if (argv.isEmpty()) {
        result.error = EINVAL;
        return result;
    }

    std::vector<QByteArray> storage;
    storage.reserve(argv.size());
    for (const QString& arg : argv)
        storage.push_back(arg.toUtf8());
    std::vector<char*> cargv;
    cargv.reserve(storage.size() + 1);
    for (QByteArray& arg : storage)
        cargv.push_back(arg.data());
    cargv.push_back(nullptr);

    int fds[2];
    if (!makePipe(fds)) {
        result.error = errno;
        return result;
    }

    FileActions files;
    // dup2 clears close-on-exec on the copies, so only 1 and 2 carry the pipe.
    posix_spawn_file_actions_adddup2(&files.actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&files.actions, fds[1], STDERR_FILENO);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Belt and braces for descriptors a library opened without close-on-exec.
    posix_spawn_file_actions_addclosefrom_np(&files.actions, STDERR_FILENO + 1);
#endif

    SpawnAttributes attrs;
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP;
#if defined(__APPLE__)
    flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
    posix_spawn_file_actions_addinherit_np(&files.actions, STDIN_FILENO);
#endif
    posix_spawnattr_setflags(&attrs.attributes, flags);
    posix_spawnattr_setpgroup(&attrs.attributes, 0);
    sigset_t empty;
    sigemptyset(&empty);
    posix_spawnattr_setsigmask(&attrs.attributes, &empty);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigdefault(&attrs.attributes, &defaults);

    pid_t pid = -1;
    const int rc = posix_spawn(&pid, cargv[0], &files.actions, &attrs.attributes, cargv.data(), environ);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        result.error = rc;
        return result;
    }
    result.pid = pid;
    result.readFd = fds[0];
    return result;
}

namespace {

// A session of its own, where the system has one to give; a process group otherwise.
short newSessionFlag() {
#if defined(POSIX_SPAWN_SETSID)
    return POSIX_SPAWN_SETSID;
#else
    return POSIX_SPAWN_SETPGROUP;
#endif
}

void closeTheRest(posix_spawn_file_actions_t* actions) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(actions, STDERR_FILENO + 1);
#else
    (void)actions;
#endif
}

void defaultSignals(posix_spawnattr_t* attributes) {
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(attributes, &signals);
    for (int sig : {SIGHUP, SIGINT, SIGTERM, SIGPIPE, SIGCHLD})
        sigaddset(&signals, sig);
    posix_spawnattr_setsigdefault(attributes, &signals);
}

} // namespace

pid_t spawnInOwnSession(const QStringList& argv, int* error) {
    std::vector<QByteArray> storage;
    std::vector<char*> cargv;
    for (const QString& arg : argv)
        storage.push_back(arg.toUtf8());
    for (QByteArray& arg : storage)
        cargv.push_back(arg.data());
    cargv.push_back(nullptr);
    FileActions files;
    posix_spawn_file_actions_addopen(&files.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&files.actions, STDOUT_FILENO, STDERR_FILENO);
    closeTheRest(&files.actions);
    SpawnAttributes attrs;
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | newSessionFlag();
#if defined(__APPLE__)
    flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
#endif
    posix_spawnattr_setflags(&attrs.attributes, flags);
    defaultSignals(&attrs.attributes);
    pid_t pid = -1;
    const int rc = cargv[0]
                       ? posix_spawn(&pid, cargv[0], &files.actions, &attrs.attributes, cargv.data(), environ)
                       : EINVAL;
    if (rc != 0) {
        *error = rc;
        return -1;
    }
    return pid;
}

void leaveOutputToADrain(int readFd) {
    FileActions files;
    posix_spawn_file_actions_adddup2(&files.actions, readFd, STDIN_FILENO);
    posix_spawn_file_actions_addopen(&files.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&files.actions, STDOUT_FILENO, STDERR_FILENO);
    closeTheRest(&files.actions);
    SpawnAttributes attrs;
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | newSessionFlag();
#if defined(__APPLE__)
    flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
#endif
    posix_spawnattr_setflags(&attrs.attributes, flags);
    defaultSignals(&attrs.attributes);
    char cat[] = "/bin/cat";
    char* argv[] = {cat, nullptr};
    pid_t pid = -1;
    posix_spawn(&pid, cat, &files.actions, &attrs.attributes, argv, environ);
    close(readFd);
}

QString launchErrorDescription(const QString& program, int error) {
    return program + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
}

int decodeWaitStatus(int waitStatus) {
    if (WIFEXITED(waitStatus))
        return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus))
        return WTERMSIG(waitStatus);
    return 1;
}

void killAndReap(pid_t pid) {
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    waitForExit(pid);
}

int waitForExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return 1;
    }
    return decodeWaitStatus(status);
}

} // namespace veldrin
