#include "app/AppDelegate.h"
#include "app/BuildInfo.h"
#include "app/Paths.h"
#include "menu/MenuBuilder.h"
#include "menu/QtMenu.h"

namespace veldrin {

void AppDelegate::menuWillOpen(QMenu* menu) { rebuildMenu(menu); }

void AppDelegate::rebuildMenu(QMenu* menu) { renderMenu(menu, currentMenuEntries(), this); }

std::vector<MenuEntry> AppDelegate::currentMenuEntries() {
    refresh();
    MenuSnapshot s;
    // Nothing is cached between openings: an upgrade shows at the next one.
    s.primaryBuild = build(primaryApp());
    s.altBuild = build(altApp());
    s.triBuild = build(triApp());
    s.state = state;
    s.appVersionLabel = appVersionLabel(*platform_.bundleInfo);
    s.activeProcess = activeProcess != nullptr;
    s.isQuittingApps = isQuittingApps;
    s.claudeBridgeRunning = claudeBridgeRunning;
    s.claudeBridgeStatus = claudeBridgeStatus;
    s.cloudProfiles = cloudProfiles;
    s.cloudTransfers = cloudTransfers;
    return buildStatusMenu(s);
}

} // namespace veldrin
