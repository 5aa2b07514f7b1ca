#include "app/AppDelegate.h"
#include "exec/ControllerCommands.h"

namespace veldrin {

// Direct actions: one streamed controller run each; the run's own guard drops
// them while another run is active.

void AppDelegate::syncNow() { runController(controllerArgs::now(), QStringLiteral("Veldrin")); }

void AppDelegate::syncClaudeNow() {
    runController(controllerArgs::claude(QStringLiteral("sync")), QStringLiteral("Claude Code Sync"));
}

void AppDelegate::importIntoClaudeNow() {
    runController(controllerArgs::claude(QStringLiteral("import")), QStringLiteral("Import into Claude Code"));
}

void AppDelegate::auditProfiles() { runController(controllerArgs::audit(), QStringLiteral("Veldrin Audit")); }

void AppDelegate::showSyncLogs() { runController(controllerArgs::logs(), QStringLiteral("Last 10 Veldrin Runs")); }

// Confirmed actions: each asks in a warning alert before its run. Not built
// yet; they come with the confirmation alerts and do nothing until then.
void AppDelegate::closeClaudeAndSync() {}
void AppDelegate::quitClaude() {}
void AppDelegate::syncAllNow() {}

} // namespace veldrin
