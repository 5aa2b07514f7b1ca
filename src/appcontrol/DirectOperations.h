#pragma once

// The menu operations that hand one fixed command to the controller straight
// away, each into a log window of its own.

#include "exec/ControllerJob.h"

namespace veldrin::directOperations {

inline ControllerJob syncNow() {
    return {{QStringLiteral("now")}, QStringLiteral("Veldrin")};
}
inline ControllerJob syncClaudeNow() {
    return {{QStringLiteral("claude"), QStringLiteral("sync")}, QStringLiteral("Claude Code Sync")};
}
inline ControllerJob importIntoClaudeNow() {
    return {{QStringLiteral("claude"), QStringLiteral("import")}, QStringLiteral("Import into Claude Code")};
}
inline ControllerJob auditProfiles() {
    return {{QStringLiteral("audit")}, QStringLiteral("Veldrin Audit")};
}
inline ControllerJob showSyncLogs() {
    return {{QStringLiteral("logs"), QStringLiteral("10")}, QStringLiteral("Last 10 Veldrin Runs")};
}

} // namespace veldrin::directOperations
