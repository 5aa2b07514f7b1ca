#pragma once

#include "platform/Activities.h"

#include <memory>

namespace veldrin {

// Activities as the freedesktop services hold them: the display through
// org.freedesktop.ScreenSaver on the session bus, the system through a
// login1 "idle" inhibitor on the system bus. Where no service accepts one
// (no session bus counts as none: no bus is ever autolaunched), the grant and
// one line on standard error say why.
std::unique_ptr<Activities> makeDBusActivities();

} // namespace veldrin
