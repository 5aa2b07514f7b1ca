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

// Where there is no session bus, makes Qt's own connection to it (which its
// tray icon asks for) fail at once instead of autolaunching a bus of its own;
// the environment children inherit is left as it was. Call once, early.
void keepQtFromAutolaunchingABus();

} // namespace veldrin
