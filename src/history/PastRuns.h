#pragma once

// The runs of the history folder, as Recent Runs lists them and a window
// shows one again.

#include "base/RunOutcome.h"
#include "platform/Clock.h"

#include <QList>
#include <QString>

#include <optional>

namespace veldrin {

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
