#pragma once

#include "platform/Platform.h"

#include <QString>

#include <memory>

namespace veldrin {

// The background Claude Code sync.
struct BridgeState {
    std::unique_ptr<RepeatingTimer> claudeBridgeTimer;
    bool claudeBridgeRunning = false;
    QString claudeBridgeStatus = QStringLiteral("not run yet");
    const double claudeBridgeInterval = 600.0;
};

} // namespace veldrin
