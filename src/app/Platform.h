#pragma once

// Every seam AppDelegate reaches the user and the system through, in one
// place: the desktop's implementations (DesktopPlatform) or the tests' fakes.

#include "menu/StatusItem.h"
#include "platform/Activities.h"
#include "platform/Alerts.h"
#include "platform/BackgroundWork.h"
#include "platform/BundleInfo.h"
#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "platform/LogWindows.h"
#include "platform/Notifications.h"
#include "platform/Scheduler.h"
#include "platform/Sleeper.h"
#include "platform/Workspace.h"

#include <memory>

namespace veldrin {

struct Platform {
    std::unique_ptr<StatusBar> statusBar;
    std::unique_ptr<LogWindows> logWindows;
    std::unique_ptr<Defaults> defaults;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<Scheduler> scheduler;
    std::unique_ptr<Activities> activities;
    std::unique_ptr<BundleInfo> bundleInfo;
    std::unique_ptr<BackgroundWork> work;
    std::unique_ptr<Alerts> alerts;
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<Notifications> notifications;
    std::unique_ptr<Sleeper> sleeper;
};

} // namespace veldrin
