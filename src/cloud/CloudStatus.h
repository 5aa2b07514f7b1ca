#pragma once

// The controller's `cloud status` answer, read into the cloud model.

#include "cloud/CloudState.h"
#include "exec/Shell.h"

#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <chrono>
#include <map>
#include <optional>

namespace veldrin {

// One refresh's result: on success an error of none, on failure only the error.
struct CloudModel {
    std::optional<QString> cloudDeviceName;
    std::map<QString, CloudProfileState> cloudProfiles;
    std::map<QString, qint64> cloudTransfers;
    std::optional<QString> cloudError;
    friend bool operator==(const CloudModel&, const CloudModel&) = default;
};

// A hung or flooding controller must not leave the refresh in flight for good.
inline constexpr QueryLimits cloudStatusLimits{std::chrono::seconds(60), 4 * 1024 * 1024};
// Refreshes that are not forced come at most this often.
inline constexpr std::chrono::milliseconds cloudRefreshSpacing = std::chrono::seconds(30);

inline QStringList cloudStatusArguments() {
    return {QStringLiteral("cloud"), QStringLiteral("status")};
}

// Any thread. Exit status and merged output of `cloud status` in, the model out.
CloudModel parseCloudStatus(int status, const QString& output);

// A JSON number as a count: not a whole number is cut toward zero, one beyond
// the signed 64-bit range is clamped; anything but a number is 0.
qint64 jsonCount(const QJsonValue& value);

} // namespace veldrin
