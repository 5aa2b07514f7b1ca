#pragma once

#include "platform/Platform.h"

#include <memory>

namespace veldrin {

// Activities as the freedesktop services hold them: the display through
// org.freedesktop.ScreenSaver on the session bus, the system through a
// login1 "idle" inhibitor on the system bus. Where no service accepts one, the
// token is still handed out (the setting follows the user's choice) and one
// line on standard error says why the desktop did not take it.
std::unique_ptr<Activities> makeDBusActivities();

} // namespace veldrin
