#pragma once

#include <QDBusConnection>

#include <optional>

namespace veldrin {

// The session bus, if there is one. With no address set and no per-user bus
// socket, libdbus would autolaunch a dbus-daemon of its own, which outlives
// Veldrin: no bus is then simply no service.
std::optional<QDBusConnection> sessionBusIfAny();
// The address of that bus, for a connection of one's own.
std::optional<QByteArray> sessionBusAddress();

} // namespace veldrin
