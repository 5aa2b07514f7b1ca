#include "app/AppDelegate.h"

#include "appcontrol/DirectOperations.h"

namespace veldrin {

void AppDelegate::run(const ControllerJob& job) {
    runController(job.arguments, job.title);
}

// Direct actions: one streamed controller run each; the run's own guard drops
// them while another run is active.
void AppDelegate::syncNow() {
    run(directOperations::syncNow());
}
void AppDelegate::syncClaudeNow() {
    run(directOperations::syncClaudeNow());
}
void AppDelegate::importIntoClaudeNow() {
    run(directOperations::importIntoClaudeNow());
}
void AppDelegate::auditProfiles() {
    run(directOperations::auditProfiles());
}
void AppDelegate::showSyncLogs() {
    run(directOperations::showSyncLogs());
}

void AppDelegate::togglePreventIdleScreenLock() {
    setPreventIdleScreenLock(!idleLock.idleDisplayActivity);
}

} // namespace veldrin
