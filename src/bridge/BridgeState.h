#pragma once

#include "platform/Scheduler.h"

#include <QString>

#include <chrono>
#include <memory>

namespace veldrin {

// The background Claude Code sync.
struct BridgeState {
    std::unique_ptr<RepeatingTimer> claudeBridgeTimer;
    bool claudeBridgeRunning = false;
    QString claudeBridgeStatus = QStringLiteral("not run yet");
    const std::chrono::milliseconds claudeBridgeInterval = std::chrono::minutes(10);
};

} // namespace veldrin
