#pragma once

// Registering with the cloud sync or logging in needs a real terminal: the
// controller's interactive `cloud join` / `cloud login` run in a new terminal
// window, started from a command line built here.

#include "platform/Alerts.h"

#include <QString>
#include <QStringList>

namespace veldrin::cloudLogin {

AlertRequest choiceAlert(); // "Register by Email", "Use Existing Token", "Cancel"
// The subcommand for the chosen button, or empty for none.
QString subcommandFor(AlertAnswer button);

// 'path' for the shell, every ' written as '\''.
QString shellQuoted(const QString& text);
// The quoted controller path, " cloud ", and the subcommand.
QString commandLine(const QString& controllerPath, const QString& subcommand);
// For an AppleScript string literal: backslashes doubled, then " made \".
QString appleScriptEscaped(const QString& text);

// macOS: osascript's four arguments, which make Terminal run the command line.
QStringList osascriptArguments(const QString& commandLine);
// Elsewhere: the terminal emulator and its arguments, which run the command
// line in a shell of a new window, then end with "Press Return to close." and
// keep the window open until Return.
QStringList terminalCommand(const QString& commandLine);
// This system's way of the two: the program and its arguments.
QStringList terminalWindowCommand(const QString& commandLine);

AlertRequest launchFailedAlert(const QString& launchError);

} // namespace veldrin::cloudLogin
