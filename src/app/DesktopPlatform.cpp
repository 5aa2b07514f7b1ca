#include "app/DesktopPlatform.h"

#include "gui/LogWindow.h"
#include "gui/QtAlerts.h"
#include "gui/QtStatusItem.h"
#include "gui/QtWorkspace.h"
#include "platform/qt/CoreServices.h"
#include "platform/qt/ThreadedWork.h"

#if defined(Q_OS_MACOS)
namespace veldrin {
std::unique_ptr<Activities> makePowerAssertions();
std::unique_ptr<Notifications> makeUserNotifications();
} // namespace veldrin
#else
#include "platform/linux/DBusActivities.h"
#include "platform/linux/DBusNotifications.h"
#endif

namespace veldrin {

Platform makeDesktopPlatform() {
    Platform p;
    p.statusBar = std::make_unique<QtStatusBar>();
    p.defaults = makeSettingsDefaults();
    p.clock = makeSystemClock();
    p.scheduler = makeMainThreadScheduler();
#if defined(Q_OS_MACOS)
    p.activities = makePowerAssertions();
    p.notifications = makeUserNotifications();
#else
    p.activities = makeDBusActivities();
    p.notifications = makeDBusNotifications();
#endif
    p.bundleInfo = makeBundleInfo();
    p.work = std::make_unique<ThreadedWork>();
    p.alerts = std::make_unique<QtAlerts>();
    p.logWindows = std::make_unique<QtLogWindows>(*p.alerts);
    p.workspace = makeWorkspace();
    p.sleeper = makeSleeper();
    return p;
}

} // namespace veldrin
