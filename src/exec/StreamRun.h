#pragma once

// The reading side of a streamed run: everything the child writes goes on to
// a sink, decoded piece by piece without losing a character at the seams.

#include "exec/Spawn.h"
#include "platform/StopToken.h"

#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace veldrin {

struct StreamOptions {
    // How long to read on after the child has exited: a helper of it may keep
    // the pipe open for ever.
    std::chrono::milliseconds drainAfterExit{2000};
    // Veldrin quitting: the child is left to finish on its own, its further
    // output drained and dropped (`outlivesQuitting`), or killed.
    StopToken quitting;
    bool outlivesQuitting = true;
    // The user's stop: TERM to the child's process group, KILL `killAfter` later.
    StopToken stopRun;
    std::chrono::milliseconds killAfter{5000};
};

struct StreamEnd {
    int status = 1;             // the exit code, or the number of the signal that ended it
    bool stoppedByUser = false; // the user's stop came before the exit
};

// Reads until the child has exited and its output has ended, or for at most
// the drain time after the exit. Nothing when Veldrin quit first. Closes the pipe.
std::optional<StreamEnd> streamChildOutput(const SpawnResult& child,
                                           const std::function<void(const QString&)>& sink,
                                           const StreamOptions& options);

} // namespace veldrin
