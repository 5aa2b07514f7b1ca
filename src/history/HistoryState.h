#pragma once

#include "history/RecentRunsMenu.h"
#include "platform/LogWindows.h"

#include <QList>
#include <QString>

#include <map>
#include <memory>

namespace veldrin {

// The runs Recent Runs lists: this session's and the newest saved ones.
struct HistoryState {
    QList<RecentRun> recent; // newest first
    // The window of each run, by its history file, while that window lives.
    std::map<QString, std::weak_ptr<LogWindow>> windows;
    bool loadingPastRuns = false; // at launch, until the saved runs are read
};

} // namespace veldrin
