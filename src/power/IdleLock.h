#pragma once

#include "platform/Activities.h"
#include "platform/Defaults.h"

#include <QString>

#include <optional>

namespace veldrin {

// Keeping the display from sleeping (and so from locking) while idle.
struct IdleLockState {
    std::optional<ActivityToken> idleDisplayActivity;
    // Why the desktop did not take the display activity that is held.
    std::optional<QString> idleDisplayRefusal;
    // Why the last choice could not be stored for the next launch.
    std::optional<QString> idleLockNotStored;
    const QString preventIdleScreenLockKey = QStringLiteral("preventIdleScreenLock");
};

// Holds at most one display activity; the stored choice is written every time.
void setPreventIdleScreenLock(IdleLockState& state, Activities& activities, Defaults& defaults, bool enabled);

} // namespace veldrin
