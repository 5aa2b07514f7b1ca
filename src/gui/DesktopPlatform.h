#pragma once

#include "platform/Platform.h"

namespace veldrin {

// The real implementations: the system tray, log windows on the desktop,
// QSettings, the wall clock, QTimer, threads, and the power assertions.
Platform makeDesktopPlatform();

} // namespace veldrin
