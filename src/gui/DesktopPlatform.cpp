#include "gui/DesktopPlatform.h"

#include "gui/LogWindow.h"
#include "gui/QtStatusItem.h"
#include "platform/qt/CoreServices.h"
#include "platform/qt/ThreadedWork.h"

namespace veldrin {

Platform makeDesktopPlatform() {
    Platform p;
    p.statusBar = std::make_unique<QtStatusBar>();
    p.logWindows = std::make_unique<QtLogWindows>();
    p.defaults = makeSettingsDefaults();
    p.clock = makeSystemClock();
    p.scheduler = makeMainThreadScheduler();
    p.activities = makeActivities();
    p.bundleInfo = makeBundleInfo();
    p.work = std::make_unique<ThreadedWork>();
    return p;
}

} // namespace veldrin
