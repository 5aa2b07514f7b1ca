#pragma once

#include "base/StopToken.h"
#include "platform/Clock.h"
#include "platform/LogWindows.h"
#include "platform/Scheduler.h"

#include <QStringList>

#include <memory>

#include <sys/types.h>

namespace veldrin {

// The controller run in progress: the process started by runController.
struct ControllerProcess {
    pid_t pid = -1;
    QStringList arguments;
    QString title; // of its log window
    Instant started;
    StopSource stopRun; // the user's stop: TERM, then KILL
};

// Streamed controller runs: at most one at a time.
struct RunState {
    std::shared_ptr<ControllerProcess> activeProcess;
    // The window of the most recent run; a replaced one stays on screen.
    std::shared_ptr<LogWindow> logWindow;
    // While a run goes on: the icon's tooltip counts its time each second.
    std::unique_ptr<RepeatingTimer> toolTipClock;
};

} // namespace veldrin
