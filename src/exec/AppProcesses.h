#pragma once

// The controller's list of running Codex app processes: one process per
// non-empty line, its identifier the first tab-separated field, kept as text.

#include "exec/Shell.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace veldrin {

struct AppProcessAnswer {
    // A controller that could not answer leaves its failure as one line, so
    // that it counts as a running process: syncing is not safe then.
    QStringList lines;
    // Why there was no real answer (could not start, did not answer, printed
    // too much); none for a real answer, whatever its exit status.
    std::optional<QString> failure;
};

AppProcessAnswer appProcessAnswer(const ShellResult& result);

// Runs [controller, "app-processes"]; any thread.
AppProcessAnswer queryAppProcesses(const QString& controller, const QueryLimits& limits,
                                   const StopToken& stop = {});

// The identifiers, in line order; a line without a tab is its own identifier,
// a line of tabs alone has none.
QStringList appProcessIDs(const QStringList& lines);

} // namespace veldrin
