#pragma once

#include "platform/Notifications.h"

#include <memory>

namespace veldrin {

// Notifications through org.freedesktop.Notifications on the session bus,
// with a "default" action that answers a click. Calls never wait for the
// service. The body is escaped where the service reads it as markup.
std::unique_ptr<Notifications> makeDBusNotifications();

} // namespace veldrin
