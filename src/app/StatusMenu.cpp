#include "app/AppDelegate.h"

#include "menu/MenuBuilder.h"
#include "platform/InfoPlist.h"
#include "platform/Paths.h"

#include <QCoreApplication>

namespace veldrin {

void AppDelegate::menuWillOpen(StatusMenu& menu) {
    rebuildMenu(menu);
}

void AppDelegate::rebuildMenu(StatusMenu& menu) {
    refreshNow();
    MenuSnapshot s;
    // Nothing is cached between openings: an upgrade shows at the next one.
    s.primaryBuild = build(primaryApp());
    s.altBuild = build(altApp());
    s.triBuild = build(triApp());
    s.state = indicator.state;
    s.appProcessFailure = indicator.appProcessFailure;
    s.appVersionLabel = appVersionLabel();
    s.activeProcess = runs.activeProcess != nullptr;
    s.isQuittingApps = appControl.isQuittingApps;
    s.claudeBridgeRunning = bridge.claudeBridgeRunning;
    s.claudeBridgeStatus = bridge.claudeBridgeStatus;
    s.cloud = cloud;
    s.power.idleDisplayActivity = idleLock.idleDisplayActivity.has_value();
    s.power.lidKeepAwakeEnabled = lid.lidKeepAwakeEnabled;
    s.power.lidKeepAwakeChanging = lid.lidKeepAwakeChanging;
    s.power.lidKeepAwakeError = lid.lidKeepAwakeError;
    s.power.lidKeepAwakeManaged = [this] {
        return platform_.defaults->boolForKey(lid.lidKeepAwakeManagedKey);
    };
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
    case Action::terminate:
        // The application's own quit request; termination follows from it.
        QCoreApplication::quit();
        return;
    }
}

} // namespace veldrin
