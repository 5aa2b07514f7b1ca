#include "app/AppDelegate.h"

#include "base/Profiles.h"
#include "cloud/CloudMenu.h"
#include "history/RecentRunsMenu.h"
#include "menu/MenuBuilder.h"
#include "plist/InfoPlist.h"
#include "power/ToolsMenu.h"

#include <QCoreApplication>

namespace veldrin {

void AppDelegate::menuWillOpen(StatusMenu& menu) {
    refreshNow();
    rebuildMenu(menu);
}

void AppDelegate::rebuildMenu(StatusMenu& menu) {
    MenuSnapshot s;
    // Nothing is cached between openings: an upgrade shows at the next one.
    s.primaryBuild = build(appPath(primaryProfile));
    s.altBuild = build(appPath(altProfile));
    s.triBuild = build(appPath(triProfile));
    s.state = indicator.state;
    s.appProcessFailure = indicator.appProcessFailure;
    s.appVersionLabel = appVersionLabel();
    s.activeProcess = runs.activeProcess != nullptr;
    s.isQuittingApps = appControl.isQuittingApps;
    s.claudeBridgeRunning = bridge.claudeBridgeRunning;
    s.claudeBridgeStatus = bridge.claudeBridgeStatus;
    s.cloudSection = cloudSyncEntry(cloud, s.activeProcess);
    PowerSnapshot power;
    power.idleDisplayActivity = idleLock.idleDisplayActivity.has_value();
    power.idleDisplayRefusal = idleLock.idleDisplayRefusal;
    power.idleLockNotStored = idleLock.idleLockNotStored;
    power.lidKeepAwakeEnabled = lid.lidKeepAwakeEnabled;
    power.lidKeepAwakeChanging = lid.lidKeepAwakeChanging;
    power.lidKeepAwakeError = lid.lidKeepAwakeError;
    power.lidKeepAwakeManaged = [this] { return platform_.defaults->boolForKey(lid.lidKeepAwakeManagedKey); };
    s.toolsSection = toolsEntry(power);
    s.recentRuns = recentRunsEntry(history.recent);
    menu.setEntries(buildStatusMenu(s));
}

void AppDelegate::perform(Action action, const QVariant& representedObject) {
    switch (action) {
    case Action::none:
        return;
    case Action::syncAllNow:
        return syncAllNow();
    case Action::syncNow:
        return syncNow();
    case Action::syncClaudeNow:
        return syncClaudeNow();
    case Action::importIntoClaudeNow:
        return importIntoClaudeNow();
    case Action::closeClaudeAndSync:
        return closeClaudeAndSync();
    case Action::quitClaude:
        return quitClaude();
    case Action::repairPrimary:
        return repairPrimary();
    case Action::repairAlt:
        return repairAlt();
    case Action::repairTri:
        return repairTri();
    case Action::fixUnreadableChats:
        return fixUnreadableChats();
    case Action::resolveRolloutConflicts:
        return resolveRolloutConflicts();
    case Action::quitAllChatGPTProcesses:
        return quitAllChatGPTProcesses();
    case Action::togglePause:
        return togglePause();
    case Action::updateAllApps:
        return updateAllApps();
    case Action::showCloudStatus:
        return showCloudStatus();
    case Action::runCloudCycleNow:
        return runCloudCycleNow();
    case Action::openCloudLogin:
        return openCloudLogin();
    case Action::togglePreventIdleScreenLock:
        return togglePreventIdleScreenLock();
    case Action::toggleLidKeepAwake:
        return toggleLidKeepAwake();
    case Action::setCloudMode:
        return setCloudMode(representedObject);
    case Action::offerCloudProject:
        return offerCloudProject(representedObject);
    case Action::offerCloudChat:
        return offerCloudChat(representedObject);
    case Action::auditProfiles:
        return auditProfiles();
    case Action::showSyncLogs:
        return showSyncLogs();
    case Action::openRecentRun:
        return openRecentRun(representedObject);
    case Action::showAllRuns:
        return showAllRuns();
    case Action::terminate:
        // The application's own quit request; termination follows from it.
        QCoreApplication::quit();
        return;
    }
}

} // namespace veldrin
