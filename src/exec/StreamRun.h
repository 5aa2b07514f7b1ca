#pragma once

// The reading side of a streamed run: everything the child writes goes on to
// a sink, decoded piece by piece without losing a character at the seams.

#include "base/StopToken.h"
#include "exec/Spawn.h"

#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace veldrin {

// Reads until the child has exited and its output has ended, or for at most
// `drainAfterExit` after the exit (a helper may keep the pipe open for ever).
// Returns the decoded exit status; nothing when stop was requested first, in
// which case the child is left to finish on its own, its further output
// drained and dropped (`outlivesStop`), or killed. Closes the pipe.
std::optional<int> streamChildOutput(const SpawnResult& child,
                                     const std::function<void(const QString&)>& sink,
                                     std::chrono::milliseconds drainAfterExit, const StopToken& stop,
                                     bool outlivesStop = true);

} // namespace veldrin
