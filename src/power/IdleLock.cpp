#include "power/IdleLock.h"

namespace veldrin {

void setPreventIdleScreenLock(IdleLockState& state, Activities& activities, Defaults& defaults,
                              bool enabled) {
    if (enabled && !state.idleDisplayActivity) {
        const ActivityGrant grant =
            activities.begin(ActivityOption::idleDisplaySleepDisabled,
                             QStringLiteral("Veldrin user enabled Prevent Idle Screen Lock"));
        state.idleDisplayActivity = grant.token;
        state.idleDisplayRefusal = grant.refused;
    }
    if (!enabled && state.idleDisplayActivity) {
        activities.end(*state.idleDisplayActivity);
        state.idleDisplayActivity.reset();
        state.idleDisplayRefusal.reset();
    }
    state.idleLockNotStored = defaults.setBool(state.preventIdleScreenLockKey, enabled);
}

} // namespace veldrin
