#pragma once

// The real implementations of the seams that need no widgets.

#include "platform/BundleInfo.h"
#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "platform/Scheduler.h"
#include "platform/Sleeper.h"

#include <memory>

namespace veldrin {

std::unique_ptr<Clock> makeSystemClock();
// QSettings: ~/.config/Veldrin/Veldrin.conf on Linux, the defaults database on macOS.
std::unique_ptr<Defaults> makeSettingsDefaults();
// QTimer on the main thread.
std::unique_ptr<Scheduler> makeMainThreadScheduler();
// The bundle's own Info.plist on macOS, the values compiled in elsewhere.
std::unique_ptr<BundleInfo> makeBundleInfo();
std::unique_ptr<Sleeper> makeSleeper();

} // namespace veldrin
