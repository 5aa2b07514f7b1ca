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

// Not built yet. The confirmed Claude operations ask in a warning alert before
// their run; the maintenance jobs stop the three apps first (polite quit,
// TERM, KILL); the cloud actions hand their commands to the controller; lid
// keep-awake reads and changes the system setting through pmset; the bridge
// runs `claude sync` in the background. Until then these do nothing.
void AppDelegate::closeClaudeAndSync() {}
void AppDelegate::quitClaude() {}
void AppDelegate::syncAllNow() {}
void AppDelegate::quitAllChatGPTProcesses() {}
void AppDelegate::updateAllApps() {}
void AppDelegate::repairPrimary() {}
void AppDelegate::repairAlt() {}
void AppDelegate::repairTri() {}
void AppDelegate::fixUnreadableChats() {}
void AppDelegate::resolveRolloutConflicts() {}
void AppDelegate::refreshCloudStatus(bool) {}
void AppDelegate::showCloudStatus() {}
void AppDelegate::runCloudCycleNow() {}
void AppDelegate::openCloudLogin() {}
void AppDelegate::setCloudMode(const QVariant&) {}
void AppDelegate::offerCloudProject(const QVariant&) {}
void AppDelegate::offerCloudChat(const QVariant&) {}
void AppDelegate::refreshLidKeepAwake(bool) {}
void AppDelegate::toggleLidKeepAwake() {}
void AppDelegate::runClaudeBridgeInBackground() {}

} // namespace veldrin
