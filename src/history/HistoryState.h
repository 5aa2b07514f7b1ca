#pragma once

#include "history/PastRuns.h"
#include "platform/LogWindows.h"

#include <QList>
#include <QString>

#include <map>
#include <memory>

namespace veldrin {

// The saved runs of earlier sessions that Recent Runs lists after this
// session's (RunState::recent).
struct HistoryState {
    QList<PastRun> past; // newest first
    // The window a saved run was opened again in, by its history file, while
    // that window lives.
    std::map<QString, std::weak_ptr<LogWindow>> windows;
    bool loadingPastRuns = false; // at launch, until the saved runs are read
};

} // namespace veldrin
