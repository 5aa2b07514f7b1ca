#pragma once

// "Recent Runs": the last runs, newest first, each "HH:mm <title> — <result>";
// then "Show All Runs…".

#include "base/RunOutcome.h"
#include "menu/MenuEntry.h"
#include "platform/Clock.h"

#include <QList>
#include <QString>

#include <optional>

namespace veldrin {

struct RecentRun {
    QString path; // its history file: the entry's represented object
    QString title;
    TimePoint started;
    bool running = false;
    bool saved = true;
    std::optional<RunOutcome> outcome; // once it has ended, where known
};

// " — running", " — exit code 0", " — failed, exit code 3", " — stopped",
// " — not saved"; nothing where the result is not known.
QString recentRunText(const RecentRun& run);

// The submenu holder, for the newest runs first (at most 10 are shown); with
// none yet, one disabled "No runs yet".
MenuEntry recentRunsEntry(const QList<RecentRun>& newestFirst);

} // namespace veldrin
