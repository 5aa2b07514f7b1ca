#include "exec/Spawn.h"

#include "platform/System.h"

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

// An argument vector as posix_spawn takes it, kept alive with its strings.
struct CArgv {
    explicit CArgv(const QStringList& argv) {
        for (const QString& arg : argv)
            storage.push_back(arg.toUtf8());
        for (QByteArray& arg : storage)
            pointers.push_back(arg.data());
        pointers.push_back(nullptr);
    }
    char* const* data() { return pointers.data(); }
    std::vector<QByteArray> storage;
    std::vector<char*> pointers;
};

// No signal blocked, and the usual actions for those a parent may ignore.
void defaultSignals(posix_spawnattr_t* attributes) {
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(attributes, &signals);
    for (int sig : {SIGHUP, SIGINT, SIGTERM, SIGPIPE, SIGCHLD})
        sigaddset(&signals, sig);
    posix_spawnattr_setsigdefault(attributes, &signals);
}

// Starts `argv` in a session of its own, reading `input` (/dev/null for -1) and writing to
// /dev/null, with no other descriptor of ours. Answers the pid, or -1 with the
// reason in `error`.
pid_t spawnInSession(char* const* argv, int input, int* error) {
    FileActions files;
    if (input >= 0)
        posix_spawn_file_actions_adddup2(&files.actions, input, STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&files.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&files.actions, STDOUT_FILENO, STDERR_FILENO);
    SpawnAttributes attrs;
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    isolateSpawn(&files.actions, &flags, true);
    posix_spawnattr_setflags(&attrs.attributes, flags);
    defaultSignals(&attrs.attributes);
    pid_t pid = -1;
    const int rc =
        argv[0] ? posix_spawn(&pid, argv[0], &files.actions, &attrs.attributes, argv, environ) : EINVAL;
    if (rc != 0) {
        *error = rc;
        return -1;
    }
    return pid;
}

} // namespace

SpawnResult spawnWithPipe(const QStringList& argv) {
    SpawnResult result;
    if (argv.isEmpty()) {
        result.error = EINVAL;
        return result;
    }
    CArgv cargv(argv);
    int fds[2];
    if (!openPipe(fds)) {
        result.error = errno;
        return result;
    }

    FileActions files;
    // dup2 clears close-on-exec on the copies, so only 1 and 2 carry the pipe.
    posix_spawn_file_actions_adddup2(&files.actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&files.actions, fds[1], STDERR_FILENO);
    SpawnAttributes attrs;
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    isolateSpawn(&files.actions, &flags, false);
    posix_spawnattr_setflags(&attrs.attributes, flags);
    posix_spawnattr_setpgroup(&attrs.attributes, 0);
    defaultSignals(&attrs.attributes);

    pid_t pid = -1;
    const int rc =
        posix_spawn(&pid, cargv.data()[0], &files.actions, &attrs.attributes, cargv.data(), environ);
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

pid_t spawnInOwnSession(const QStringList& argv, int* error) {
    CArgv cargv(argv);
    return spawnInSession(cargv.data(), -1, error);
}

void leaveOutputToADrain(int readFd) {
    CArgv cat({QStringLiteral("/bin/cat")});
    int error = 0;
    spawnInSession(cat.data(), readFd, &error);
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

void signalChild(pid_t pid, int sig) {
    if (kill(-pid, sig) != 0)
        kill(pid, sig);
}

void killAndReap(pid_t pid) {
    signalChild(pid, SIGKILL);
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
