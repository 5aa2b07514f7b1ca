#pragma once

#include "platform/Clock.h"

#include <QString>
#include <QtGlobal>

#include <map>
#include <optional>

namespace veldrin {

// One profile's cloud mode ("up", "down", "both", "off") and what it offers.
struct CloudProfileState {
    QString mode;
    qint64 projects = 0;
    qint64 chats = 0;
    friend bool operator==(const CloudProfileState&, const CloudProfileState&) = default;
};

// The cloud sync as the last `cloud status` answer described it. The four
// model fields are always replaced together.
struct CloudState {
    std::optional<QString> cloudDeviceName;
    std::map<QString, CloudProfileState> cloudProfiles;
    std::map<QString, qint64> cloudTransfers;
    std::optional<QString> cloudError;
    bool cloudRefreshing = false;
    // When the last refresh was handed back; none before the first.
    std::optional<Instant> lastCloudRefresh;
    // True while the controller lists chats to offer; a second request only beeps.
    bool listingChats = false;
};

} // namespace veldrin
