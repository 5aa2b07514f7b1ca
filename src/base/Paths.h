#pragma once

// Paths below the user's home folder, computed afresh on every use so that a
// changed HOME is honoured at once.

#include <QByteArray>
#include <QString>

#include <optional>

namespace veldrin {

// Why the environment cannot be used as it stands: HOME unset or not an
// absolute path, or HOME, an XDG folder, TMPDIR or VELDRIN_SYSTEM_ROOT that
// is not a valid file name in this system's encoding (its path would be
// misread, and files written beside the folder meant). None when all is well.
std::optional<QString> unusableEnvironment();
// True when `bytes` decode to a file name that encodes back to the same bytes.
bool isFaithfulFileName(const QByteArray& bytes);

QString homeFolder(); // without a trailing slash
QString controller(); // ~/bin/veldrin
QString pauseFile();  // ~/.codex/.sync-paused

// The fixed absolute paths of the system ("/Applications/ChatGPT.app",
// "/usr/bin/pmset", ...), taken below $VELDRIN_SYSTEM_ROOT when that is set.
// Meant for the demo and the tests; read on every call.
QString systemPath(const QString& absolutePath);

} // namespace veldrin
