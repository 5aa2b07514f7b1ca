#pragma once

// Reading a started child's merged output while watching for its exit, with
// no sleeping: the pipe, the child's exit and a stop request are waited on
// together (pidfd on Linux, kqueue on macOS).

#include "platform/StopToken.h"

#include <QByteArrayView>

#include <chrono>
#include <functional>

#include <sys/types.h>

namespace veldrin {

struct PumpResult {
    enum class Outcome {
        finished, // exited, and the output was read to its end or for the drain time after the exit
        deadline, // the deadline passed before the child exited
        refused,  // the consumer refused more output
        stopped,  // stop was requested
    };
    Outcome outcome = Outcome::finished;
    bool exited = false;     // the child has exited and been reaped
    int status = 1;          // its decoded exit status, once exited
    bool terminated = false; // `terminate` was requested, and the child was signalled
};

struct PumpRequest {
    pid_t pid = -1;
    int fd = -1; // the reading end of the child's output pipe; left open
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
    // How long to keep reading once the child has exited: a helper it left
    // behind may hold the pipe open for ever.
    std::chrono::milliseconds drainAfterExit{2000};
    StopToken stop;
    // The user's stop: TERM to the child's process group at once, and KILL
    // `killAfter` later if it has not exited; reading goes on meanwhile.
    StopToken terminate;
    std::chrono::milliseconds killAfter{5000};
    // Gets every chunk in order; answering false stops the reading.
    std::function<bool(QByteArrayView)> consume;
};

// Signals the child only when `terminate` asks for it: what to do with one
// that is still running otherwise is the caller's decision.
PumpResult pumpChildOutput(const PumpRequest& request);

// Ends a started child that is still running: TERM to its process group and,
// `termGrace` later (at once without one, or once `stop` is requested), KILL;
// then reaps it. Its output, read and dropped meanwhile, cannot hold it up.
// Leaves the pipe open.
void endChild(pid_t pid, int readFd, std::chrono::milliseconds termGrace, const StopToken& stop = {});

} // namespace veldrin
