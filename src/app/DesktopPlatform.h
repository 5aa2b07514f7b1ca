#pragma once

#include "app/Platform.h"

namespace veldrin {

// The real implementations: the system tray, log windows on the desktop,
// QSettings, the wall clock, QTimer, threads, the power assertions, alerts,
// the running applications and real pauses.
Platform makeDesktopPlatform();

} // namespace veldrin
