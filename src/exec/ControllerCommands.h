#pragma once

// The argument vectors the controller (~/bin/veldrin) accepts, after its path,
// and the bounds within which a synchronous query must answer.

#include <QString>
#include <QStringList>

#include <chrono>

namespace veldrin::controllerArgs {

inline QStringList appProcesses() { return {QStringLiteral("app-processes")}; }
inline QStringList pause() { return {QStringLiteral("pause"), QStringLiteral("paused from menu bar")}; }
inline QStringList resume() { return {QStringLiteral("resume")}; }
inline QStringList now() { return {QStringLiteral("now")}; }
inline QStringList syncAll() { return {QStringLiteral("sync-all")}; }
inline QStringList claude(const QString& verb) { return {QStringLiteral("claude"), verb}; }
inline QStringList audit() { return {QStringLiteral("audit")}; }
inline QStringList logs() { return {QStringLiteral("logs"), QStringLiteral("10")}; }

// app-processes, pause and resume answer at once; a controller that does not
// must not hold up the menu bar for longer than this.
inline constexpr std::chrono::milliseconds quickQueryTimeout = std::chrono::seconds(10);

} // namespace veldrin::controllerArgs
