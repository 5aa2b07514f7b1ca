#pragma once

// Starting a program from an argument vector, without a shell, with standard
// output and standard error on one pipe. The child gets no other descriptor of
// ours, and runs in a process group of its own so that a child that has to be
// killed takes its helpers with it.

#include <QString>
#include <QStringList>

#include <sys/types.h>

namespace veldrin {

struct SpawnResult {
    pid_t pid = -1;
    int readFd = -1; // our end of the merged output pipe (close-on-exec)
    int error = 0;   // errno of a failed start; pid is -1 then
    bool started() const { return pid > 0; }
};

// argv[0] is the absolute path of the executable; the rest are its arguments,
// passed unchanged. Environment, working directory and standard input are inherited.
SpawnResult spawnWithPipe(const QStringList& argv);

// Starts a program in a session of its own, its standard input, output and
// error on /dev/null and no other descriptor of ours. It stays our child, to
// be reaped by the caller. Answers its process id, or -1 and the errno value
// in `error`.
pid_t spawnInOwnSession(const QStringList& argv, int* error);

// The text a failed start reports, e.g. "/home/a/bin/veldrin: No such file or directory".
QString launchErrorDescription(const QString& program, int error);

// Exit status as the caller shows it: the exit code, or for a child killed by a
// signal that signal's number.
int decodeWaitStatus(int waitStatus);

// Blocks until the child has exited and returns its decoded status.
int waitForExit(pid_t pid);

// KILL to the child's whole process group, helpers included, then reaps it.
// Sends sig to the child's process group, or to the child alone when it has
// no group of its own. Never both: a shell that traps the signal would run its
// handler twice.
void signalChild(pid_t pid, int sig);

void killAndReap(pid_t pid);

// Hands the reading end of a child's output pipe to /bin/cat, detached in a
// session of its own, which reads it to its end and throws it away: a child
// left running after Veldrin has gone then does not die of SIGPIPE at its next
// write. Closes `readFd` either way.
void leaveOutputToADrain(int readFd);

} // namespace veldrin
