#pragma once

#include "platform/Workspace.h"

#include <memory>

namespace veldrin {

// The desktop's workspace: on macOS the running applications' polite quit
// (AppKit) and Finder; elsewhere there are no bundle identifiers to quit, and
// folders open in whatever file manager the desktop names.
std::unique_ptr<Workspace> makeWorkspace();

} // namespace veldrin
