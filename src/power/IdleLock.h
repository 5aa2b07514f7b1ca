#pragma once

#include "platform/Platform.h"

#include <QString>

#include <optional>

namespace veldrin {

// Keeping the display from sleeping (and so from locking) while idle.
struct IdleLockState {
    std::optional<ActivityToken> idleDisplayActivity;
    const QString preventIdleScreenLockKey = QStringLiteral("preventIdleScreenLock");
};

// Holds at most one display activity; the stored choice is written every time.
void setPreventIdleScreenLock(IdleLockState& state, Activities& activities, Defaults& defaults, bool enabled);

} // namespace veldrin
