#pragma once

// The desktop's services around the status item, as the start and `veldrin
// --check` meet them. On Linux (platform/linux/SessionBus.cpp and
// platform/linux/DesktopServices.cpp) they are on the session and system
// buses; on macOS (platform/macos/DesktopServices.cpp) the system has them.
// The build picks one.

#include <QString>

#include <functional>
#include <optional>

namespace veldrin {

// Once the application exists: where there is no session bus, Qt's own
// connection to one (which its tray icon asks for) fails at once instead of
// autolaunching a bus; the environment children inherit is left as it was.
// Nothing to do where the system has no such bus.
void keepQtFromAutolaunchingABus();

// For `veldrin --check`, once the display is open: one line each to `say`
// for the tray, and on Linux the notification service, the screen-saver and
// sleep inhibitors and the session bus. Every call to a service has a short
// time bound. What Veldrin needs and does not find ("a tray"), if anything;
// the optional services never count.
std::optional<QString> checkDesktopServices(const std::function<void(const QString&)>& say);

} // namespace veldrin
