#pragma once

// The cloud operations that hand one command to the controller, each into a
// log window of its own.

#include "base/Profiles.h"
#include "cloud/CloudStatus.h"
#include "exec/ControllerJob.h"

#include <QVariant>

#include <optional>

namespace veldrin::cloudCommands {

// A mode item carries [profile, mode]; anything else runs nothing.
inline std::optional<ControllerJob> setCloudMode(const QVariant& representedObject) {
    if (representedObject.typeId() != QMetaType::QStringList)
        return std::nullopt;
    const QStringList pair = representedObject.toStringList();
    if (pair.size() != 2)
        return std::nullopt;
    return ControllerJob{{QStringLiteral("cloud"), QStringLiteral("mode"), pair[0], pair[1]},
                         profileForKey(pair[0]).label + QStringLiteral(" Cloud Mode")};
}

inline ControllerJob showCloudStatus() {
    return {cloudStatusArguments(), QStringLiteral("Cloud Sync Status")};
}

inline ControllerJob runCloudCycleNow() {
    return {{QStringLiteral("cloud"), QStringLiteral("cycle")}, QStringLiteral("Cloud Sync")};
}

} // namespace veldrin::cloudCommands
