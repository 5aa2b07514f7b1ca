#pragma once

#include "platform/Scheduler.h"

#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace veldrin {

// The background Claude Code sync.
struct BridgeState {
    std::unique_ptr<RepeatingTimer> claudeBridgeTimer;
    bool claudeBridgeRunning = false;
    QString claudeBridgeStatus = QStringLiteral("not run yet");
    const std::chrono::milliseconds claudeBridgeInterval = std::chrono::minutes(10);
    // Whether the last run succeeded, and whether its failing was told: a
    // notification comes when it turns to failing, and once when it recovers.
    std::optional<bool> lastSucceeded;
    bool failureTold = false;
};

} // namespace veldrin
