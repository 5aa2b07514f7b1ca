#pragma once

#include "platform/Platform.h"

#include <QString>

#include <optional>

namespace veldrin {

// Keeping the machine running with its lid closed.
struct LidState {
    std::optional<ActivityToken> lidSystemActivity;
    std::optional<bool> lidKeepAwakeEnabled; // none until the first reading answers
    bool lidKeepAwakeChanging = false;
    std::optional<QString> lidKeepAwakeError;
    TimePoint lastLidKeepAwakeRefresh = distantPast;
    int lidReadingsInFlight = 0; // launch starts two
    const QString lidKeepAwakeManagedKey = QStringLiteral("lidKeepAwakeManaged");
};

} // namespace veldrin
