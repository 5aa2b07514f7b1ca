#pragma once

#include "platform/Workspace.h"

#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

#include <sys/types.h>

namespace veldrin {

// The desktop's workspace: on macOS the running applications' polite quit
// (AppKit) and Finder (platform/macos/RunningApplications.mm); on Linux there
// are no bundle identifiers to quit, and folders open through xdg-open in
// whatever file manager the desktop names (platform/linux/XdgWorkspace.cpp).
// xdg-open is started by `start` (in a session of its own, its output
// dropped; the process id, or -1 and the reason in `error`). One that has not
// ended within `openBound` is taken to have opened the folder (it may run the
// file manager in its foreground) and is left to it.
using StartProgram = std::function<pid_t(const QStringList& argv, int* error)>;
std::unique_ptr<Workspace> makeWorkspace(StartProgram start,
                                         std::chrono::milliseconds openBound = std::chrono::seconds(5));

} // namespace veldrin
