#include "app/AppDelegate.h"

#include "base/Profiles.h"
#include "cloud/CloudMenu.h"
#include "history/RecentRunsMenu.h"
#include "menu/MenuBuilder.h"
#include "plist/InfoPlist.h"
#include "power/ToolsMenu.h"

#include <QCoreApplication>

namespace veldrin {

namespace {

void dispatch(AppDelegate& d, Action action, const QVariant& representedObject) {
    switch (action) {
    case Action::none:
        return;
#define VELDRIN_PLAIN_ACTION(name)                                                                           \
    case Action::name:                                                                                       \
        return d.name();
#define VELDRIN_OBJECT_ACTION(name)                                                                          \
    case Action::name:                                                                                       \
        return d.name(representedObject);
        VELDRIN_MENU_ACTIONS(VELDRIN_PLAIN_ACTION, VELDRIN_OBJECT_ACTION)
#undef VELDRIN_PLAIN_ACTION
#undef VELDRIN_OBJECT_ACTION
    case Action::terminate:
        // exit(), not quit(): quit() first asks every window to close, and a
        // log window only hides when asked, which would cancel the quit.
        QCoreApplication::exit(0);
        return;
    }
}

} // namespace

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
    power.lidManagedNotStored = lid.lidManagedNotStored;
    power.lidKeepAwakeManaged = [this] { return platform_.defaults->boolForKey(lid.lidKeepAwakeManagedKey); };
    s.toolsSection = toolsEntry(power);
    s.recentRuns = recentRunsEntry(recentRuns());
    menu.setEntries(buildStatusMenu(s));
}

void AppDelegate::perform(Action action, const QVariant& representedObject) {
    // A choice while an alert is open (a host's menu stays usable behind
    // it) would open a second alert inside the first: the open one comes to
    // the front instead.
    if (platform_.alerts->raiseOpenAlert())
        return;
    dispatch(*this, action, representedObject);
    menuMayHaveChanged();
}

} // namespace veldrin
