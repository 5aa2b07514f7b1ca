#pragma once

#include "platform/Scheduler.h"
#include "runs/Run.h"

#include <QList>

#include <map>
#include <memory>

namespace veldrin {

// Streamed controller runs: at most one at a time.
struct RunState {
    // The run whose controller is going on, while it goes on.
    std::shared_ptr<Run> activeProcess;
    // The window of the most recent run; a replaced one stays on screen.
    std::shared_ptr<LogWindow> logWindow;
    // While a run goes on: the icon's tooltip counts its time each second.
    std::unique_ptr<RepeatingTimer> toolTipClock;
    // This session's runs and stop sequences, newest first, as many as
    // Recent Runs lists.
    QList<std::shared_ptr<Run>> recent;
};

} // namespace veldrin
