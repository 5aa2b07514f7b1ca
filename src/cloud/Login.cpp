#include "cloud/Login.h"

#include "base/Paths.h"
#include "platform/System.h"

namespace veldrin::cloudLogin {

AlertRequest choiceAlert() {
    return {AlertStyle::warning,
            QStringLiteral("Log In to Cloud Sync"),
            QStringLiteral(
                "Registration by email and existing-token login save the device key in macOS Keychain. "
                "Browser-only login does not connect the menu app."),
            {QStringLiteral("Register by Email"), QStringLiteral("Use Existing Token"), cancelButton},
            std::nullopt};
}

QString subcommandFor(AlertAnswer button) {
    if (button == 0)
        return QStringLiteral("join");
    if (button == 1)
        return QStringLiteral("login");
    return {};
}

QString shellQuoted(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString commandLine(const QString& controllerPath, const QString& subcommand) {
    return shellQuoted(controllerPath) + QStringLiteral(" cloud ") + subcommand;
}

QString appleScriptEscaped(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return escaped;
}

QStringList osascriptArguments(const QString& commandLine) {
    return {QStringLiteral("-e"), QStringLiteral("tell application \"Terminal\" to activate"),
            QStringLiteral("-e"),
            QStringLiteral("tell application \"Terminal\" to do script \"") +
                appleScriptEscaped(commandLine) + QLatin1Char('"')};
}

QStringList terminalCommand(const QString& commandLine) {
    // The Debian alternative for the desktop's terminal; the command line is
    // made for a shell, so a shell runs it. Such a terminal closes as soon as
    // its command ends: the window waits for Return, so that the answer
    // ("not found", a rejected token, success) can be read.
    return {QStringLiteral("x-terminal-emulator"), QStringLiteral("-e"), QStringLiteral("/bin/sh"),
            QStringLiteral("-c"),
            commandLine + QStringLiteral("; printf '\\n%s' 'Press Return to close.'; read -r _")};
}

QStringList terminalWindowCommand(const QString& commandLine) {
    if (terminalWindow() == TerminalWindow::appleScript)
        return QStringList{systemPath(QStringLiteral("/usr/bin/osascript"))} +
               osascriptArguments(commandLine);
    return terminalCommand(commandLine);
}

AlertRequest launchFailedAlert(const QString& launchError) {
    return {AlertStyle::critical,
            QStringLiteral("Could not open Cloud Sync login"),
            launchError,
            {QStringLiteral("OK")},
            std::nullopt};
}

} // namespace veldrin::cloudLogin
