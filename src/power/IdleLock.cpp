#include "power/IdleLock.h"

namespace veldrin {

namespace {
constexpr std::uint64_t idleDisplaySleepDisabled = std::uint64_t(1) << 40;
const char* const idleLockReason = "Veldrin user enabled Prevent Idle Screen Lock";
} // namespace

void setPreventIdleScreenLock(IdleLockState& state, Activities& activities, Defaults& defaults,
                              bool enabled) {
    if (enabled && !state.idleDisplayActivity)
        state.idleDisplayActivity =
            activities.begin(idleDisplaySleepDisabled, QString::fromUtf8(idleLockReason));
    if (!enabled && state.idleDisplayActivity) {
        activities.end(*state.idleDisplayActivity);
        state.idleDisplayActivity.reset();
    }
    defaults.setBool(state.preventIdleScreenLockKey, enabled);
}

} // namespace veldrin
