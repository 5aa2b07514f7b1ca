#pragma once

// The argument vectors of the controller's quick queries (after its path), and
// the bounds within which they must answer.

#include "exec/Shell.h"

#include <QString>
#include <QStringList>

#include <chrono>

namespace veldrin::controllerArgs {

inline QStringList appProcesses() {
    return {QStringLiteral("app-processes")};
}
inline QStringList pause() {
    return {QStringLiteral("pause"), QStringLiteral("paused from menu bar")};
}
inline QStringList resume() {
    return {QStringLiteral("resume")};
}

// app-processes, pause and resume answer at once in practice; a controller
// that does not is killed after this.
inline constexpr QueryLimits quickQuery{std::chrono::seconds(10), 4 * 1024 * 1024};

} // namespace veldrin::controllerArgs
