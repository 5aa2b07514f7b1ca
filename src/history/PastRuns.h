#pragma once

// The runs of the history folder, as Recent Runs lists them and a window
// shows one again.

#include "base/RunOutcome.h"
#include "platform/Clock.h"

#include <QList>
#include <QString>

#include <optional>

namespace veldrin {

// A history file's name: "2026-03-02_090530Z_Veldrin Audit.log", and for a
// second run begun in that second "2026-03-02_090530Z-2_Veldrin Audit.log".
// The time is UTC, so that no change of time zone or daylight saving can put
// a run before an older one. Names without the Z, which earlier builds wrote
// in local time, are read as local time.
struct HistoryFileName {
    TimePoint started;
    int sequence = 1;
    QString title;
};
QString historyFileName(const HistoryFileName& name);
// Nothing for a name that is not a history file's: such files are neither
// listed nor ever removed.
std::optional<HistoryFileName> parseHistoryFileName(const QString& fileName);

// Where a run's outcome is kept beside its history file: the same name, with
// ".outcome" for ".log".
QString outcomeFileOf(const QString& historyFile);

// The history files in `folder` (regular files, not links), oldest first:
// by time, then sequence.
struct HistoryFile {
    QString path;
    HistoryFileName name;
    qint64 size = 0;
};
QList<HistoryFile> historyFiles(const QString& folder);

struct PastRun {
    QString path;
    QString title; // as its file name holds it
    TimePoint started;
    // From its outcome file, or for a run saved by an earlier build from its
    // transcript's closing line; none where neither tells.
    std::optional<RunOutcome> outcome;
};

// The newest `count` runs in `folder`, newest first. Any thread.
QList<PastRun> pastRuns(const QString& folder, int count);
// What is known of how the run in `historyFile` ended. Any thread.
std::optional<RunOutcome> savedOutcome(const QString& historyFile);

// The end of a saved transcript: at most `maxBytes`, from the start of a line,
// decoded. `cut` says whether anything before was left out. Any thread.
QString transcriptEnd(const QString& path, qint64 maxBytes, bool* cut = nullptr);

} // namespace veldrin
