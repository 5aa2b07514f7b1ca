#include "app/AppDelegate.h"

namespace veldrin {

namespace {
constexpr std::uint64_t idleDisplaySleepDisabled = std::uint64_t(1) << 40;
const char* const idleLockReason = "Veldrin user enabled Prevent Idle Screen Lock";
} // namespace

void AppDelegate::setPreventIdleScreenLock(bool enabled) {
    // At most one display assertion; the stored choice is written every time.
    if (enabled && !idleDisplayActivity)
        idleDisplayActivity = platform_.activities->begin(idleDisplaySleepDisabled, QString::fromUtf8(idleLockReason));
    if (!enabled && idleDisplayActivity) {
        platform_.activities->end(*idleDisplayActivity);
        idleDisplayActivity.reset();
    }
    platform_.defaults->setBool(preventIdleScreenLockKey, enabled);
}

void AppDelegate::togglePreventIdleScreenLock() { setPreventIdleScreenLock(!idleDisplayActivity); }

} // namespace veldrin
