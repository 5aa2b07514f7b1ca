#pragma once

#include "platform/Activities.h"
#include "platform/Clock.h"

#include <QString>

#include <optional>

namespace veldrin {

// Keeping the machine running with its lid closed.
struct LidState {
    std::optional<ActivityToken> lidSystemActivity;
    std::optional<bool> lidKeepAwakeEnabled; // none until the first reading answers
    bool lidKeepAwakeChanging = false;
    std::optional<QString> lidKeepAwakeError;
    // Why the last write of lidKeepAwakeManagedKey could not be stored: the
    // next launch would not know whether Veldrin turned the setting on.
    std::optional<QString> lidManagedNotStored;
    // When the last reading started or the last change ended; none before the first.
    std::optional<Instant> lastLidKeepAwakeRefresh;
    int lidReadingsInFlight = 0; // launch starts two
    const QString lidKeepAwakeManagedKey = QStringLiteral("lidKeepAwakeManaged");
};

} // namespace veldrin
