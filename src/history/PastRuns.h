#pragma once

// The runs of the history folder, as Recent Runs lists them and a window
// shows one again.

#include "base/RunOutcome.h"
#include "platform/Clock.h"

#include <QList>
#include <QString>

#include <optional>

namespace veldrin {

// A history file's name: "2026-03-02_090530_Veldrin Audit.log", and for a
// second run begun in that second "2026-03-02_090530-2_Veldrin Audit.log".
struct HistoryFileName {
    TimePoint started;
    int sequence = 1;
    QString title;
};
QString historyFileName(const HistoryFileName& name);
// Nothing for a name that is not a history file's: such files are neither
// listed nor ever removed.
std::optional<HistoryFileName> parseHistoryFileName(const QString& fileName);

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
    std::optional<RunOutcome> outcome; // none where the transcript does not tell
};

// The newest `count` runs in `folder`, newest first. Any thread.
QList<PastRun> pastRuns(const QString& folder, int count);

// The end of a saved transcript: at most `maxBytes`, from the start of a line,
// decoded. `cut` says whether anything before was left out. Any thread.
QString transcriptEnd(const QString& path, qint64 maxBytes, bool* cut = nullptr);

} // namespace veldrin
