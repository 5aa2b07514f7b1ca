#pragma once

#include "platform/Workspace.h"

#include <chrono>
#include <memory>

namespace veldrin {

// The desktop's workspace: on macOS the running applications' polite quit
// (AppKit) and Finder (platform/macos/RunningApplications.mm); on Linux there
// are no bundle identifiers to quit, and folders open through xdg-open in
// whatever file manager the desktop names (platform/linux/XdgWorkspace.cpp).
// xdg-open that has not ended within `openBound` is taken to have opened the
// folder (it may run the file manager in its foreground) and is left to it.
std::unique_ptr<Workspace> makeWorkspace(std::chrono::milliseconds openBound = std::chrono::seconds(5));

} // namespace veldrin
