#pragma once

// The background `claude sync`, condensed into the one status text the menu
// shows after "Claude Code: ".

#include "exec/Shell.h"
#include "platform/Clock.h"

#include <QString>
#include <QStringList>

#include <chrono>

namespace veldrin::claudeBridge {

inline QStringList arguments() {
    return {QStringLiteral("claude"), QStringLiteral("sync")};
}

// A sync that hangs would keep the Claude entries disabled for good: after
// this long it is killed and counts as failed.
// Quitting Veldrin leaves a running sync to finish, as it leaves streamed runs;
// at the bound it gets TERM first, so that it can finish writing.
inline constexpr QueryLimits limits{std::chrono::minutes(30), 4 * 1024 * 1024, std::chrono::seconds(2),
                                    std::chrono::seconds(10), true};

// The first background run comes this long after launch; the timer's period
// (BridgeState::claudeBridgeInterval) sets the rest.
inline constexpr std::chrono::milliseconds firstRunDelay = std::chrono::seconds(20);

// The local wall-clock time as "HH:mm".
QString timeText(TimePoint when);

// What a finished run leaves: "paused", "synced at TIME · COUNT updated" or
// "failed at TIME — choose Sync with Claude Code for details". A run that
// could not start, or was killed, has status 1 and fails.
QString outcome(int status, const QString& output, const QString& time);

} // namespace veldrin::claudeBridge
