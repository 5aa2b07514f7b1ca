#pragma once

// Keeping the machine running with its lid closed: the system's SleepDisabled
// setting, read with `pmset -g` and changed through `sudo -n pmset`.

#include "exec/Shell.h"
#include "platform/Alerts.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace veldrin {

// Each reading or change may take this long and print this much.
inline constexpr QueryLimits lidCommandLimits{std::chrono::seconds(15), 1024 * 1024};

// Readings come at most this often, unless forced.
inline constexpr std::chrono::milliseconds lidRefreshSpacing = std::chrono::seconds(15);

// The reason given with the assertion that keeps the system from idle sleep
// while Veldrin keeps it awake.
inline const QString lidActivityReason =
    QStringLiteral("Veldrin user enabled Keep Mac Running with Lid Closed");

// The value of the first "SleepDisabled" (or "disablesleep") line of a
// `pmset -g` listing, whatever the case of the key: true for "1", false for
// "0", none for anything else or no such line.
std::optional<bool> parseSleepDisabled(const QString& listing);

QStringList lidReadingCommand();
QStringList lidChangingCommand(bool enabled);

// What a reading says about the setting: its value, or why there is none.
struct LidReading {
    std::optional<bool> value;
    std::optional<QString> error;
};
LidReading lidReading(const ShellResult& reading);

// Why a change was not confirmed: both outputs, or both exit statuses when
// neither printed anything.
QString lidFailureDetail(const ShellResult& change, const ShellResult& reading);

namespace lidAlerts {
AlertRequest turnOnConfirmation();
AlertRequest changeFailed(const QString& detail);
} // namespace lidAlerts

} // namespace veldrin
