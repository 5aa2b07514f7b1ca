#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace veldrin {

// Starts a program that Veldrin neither waits for nor reads from (a terminal
// window). argv[0] is a path, or a name looked up on PATH. Answers the launch
// error's description when it cannot start.
std::optional<QString> startDetached(const QStringList& argv);

} // namespace veldrin
