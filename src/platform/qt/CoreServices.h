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
// QSettings: ~/.config/Veldrin/Veldrin.conf on Linux. On macOS, CFPreferences
// of the current user on any host, in the domain Qt makes of the organisation
// and application names, "Veldrin" and "Veldrin": com.veldrin.Veldrin, which is
// the bundle identifier, so NSUserDefaults and `defaults` read the same keys
// (no '/' in them to become '.') with Booleans as CFBoolean.
std::unique_ptr<Defaults> makeSettingsDefaults();
// QTimer on the main thread.
std::unique_ptr<Scheduler> makeMainThreadScheduler();
// The bundle's own Info.plist on macOS, the values compiled in elsewhere.
std::unique_ptr<BundleInfo> makeBundleInfo();
std::unique_ptr<Sleeper> makeSleeper();

} // namespace veldrin
