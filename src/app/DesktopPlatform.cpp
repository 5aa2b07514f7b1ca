#include "app/DesktopPlatform.h"

#include "exec/Spawn.h"
#include "gui/LogWindow.h"
#include "gui/QtAlerts.h"
#include "gui/QtStatusItem.h"
#include "platform/DesktopWorkspace.h"
#include "platform/qt/CoreServices.h"
#include "platform/qt/ThreadedWork.h"

namespace veldrin {

Platform makeDesktopPlatform() {
    Platform p;
    p.statusBar = std::make_unique<QtStatusBar>();
    p.defaults = makeSettingsDefaults();
    p.clock = makeSystemClock();
    p.scheduler = makeMainThreadScheduler();
    p.activities = makeSystemActivities();
    p.notifications = makeSystemNotifications();
    p.bundleInfo = makeBundleInfo();
    p.work = std::make_unique<ThreadedWork>();
    p.alerts = std::make_unique<QtAlerts>();
    p.logWindows = std::make_unique<QtLogWindows>(*p.alerts);
    p.workspace = makeWorkspace(spawnInOwnSession);
    p.sleeper = makeSleeper();
    return p;
}

} // namespace veldrin
