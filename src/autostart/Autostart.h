#pragma once

// Starting Veldrin at login, only when the user asks for it with
// `veldrin --autostart on|off`: an XDG autostart entry on Linux desktops, a
// LaunchAgent on macOS.

#include <QString>

#include <optional>

namespace veldrin {

// ~/.config/autostart/veldrin.desktop (below $XDG_CONFIG_HOME when set), or
// ~/Library/LaunchAgents/com.veldrin.Veldrin.plist on macOS (named, like the
// agent's label, after the bundle identifier).
QString autostartEntryPath();

// The Exec value that runs `program` with no arguments, quoted and escaped as
// desktop entries require, whatever characters its path holds.
QString desktopExecValue(const QString& program);

// Writes or removes the entry for `program`; the error text when that fails.
std::optional<QString> setAutostart(bool enabled, const QString& program);

// `veldrin --autostart on|off` for the program running now: writes or removes
// its entry and says so; the exit status.
int runAutostart(bool enabled, const char* argv0);

} // namespace veldrin
