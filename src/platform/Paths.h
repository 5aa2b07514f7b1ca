#pragma once

// Paths below the user's home folder, computed afresh on every use so that a
// changed HOME is honoured at once.

#include <QString>

namespace veldrin {

QString homeFolder(); // without a trailing slash
QString controller(); // ~/bin/veldrin
QString pauseFile();  // ~/.codex/.sync-paused
QString altApp();     // ~/Applications/ChatGPT Alt.app
QString triApp();     // ~/Applications/ChatGPT Tri.app
QString primaryApp(); // /Applications/ChatGPT.app (below the system root when one is set)

// The fixed absolute paths of the system ("/Applications/ChatGPT.app",
// "/usr/bin/pmset", ...), taken below $VELDRIN_SYSTEM_ROOT when that is set.
// Meant for the demo and the tests; read on every call.
QString systemPath(const QString& absolutePath);

} // namespace veldrin
