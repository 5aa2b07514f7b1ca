#pragma once

#include "platform/Platform.h"

namespace veldrin {

// The real implementations: the system tray, QSettings, the wall clock,
// QTimer, and the platform's power assertions.
Platform makeQtPlatform();

} // namespace veldrin
