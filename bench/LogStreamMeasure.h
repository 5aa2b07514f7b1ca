#pragma once

// One measured run of child-process output streamed into a log window, and
// the pieces the benchmark driver shares with it.

#include <QByteArray>
#include <QString>

#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace veldrin::bench {

constexpr qsizetype megabyte = 1000 * 1000;

enum class Handover {
    Batched,      // LogWindow::append, as the application does
    WithHistory,  // the same, each piece also to the run's history file
    NaivePerRead, // one queued insert + scroll per 4 KB read
};

struct Result {
    qsizetype bytes = 0;
    double seconds = 0;
    double longestStretchMs = 0;  // longest turn of the event loop
    double longestTimerGapMs = 0; // longest gap between ticks of a 1 ms timer
    double busyShare = 0;         // main-thread CPU time over wall time
    long pageFaults = 0;          // taken by the main thread
    double peakResidentMb = 0;    // of the whole measuring process
    // The transcript is byte for byte what the child wrote; or, once the
    // window keeps only the end, that end, after the notice.
    bool exact = false;
    double mbPerSecond() const { return seconds > 0 ? double(bytes) / megabyte / seconds : 0; }

    // One line of text, so that a run can happen in a process of its own.
    QByteArray toLine() const;
    static std::optional<Result> fromLine(const QByteArray& line);
};

// Controller-like lines, the same for the same size, dense in multi-byte
// characters so that 4 KB reads keep splitting them.
QByteArray generateText(qsizetype bytes);
// The same words on one line: no line break at all.
QByteArray generateLine(qsizetype bytes);

// Starts argv[0] with argv, its stdout (and stderr, when asked) on a pipe;
// returns the pid and the reading end.
std::optional<std::pair<pid_t, int>> spawnWithPipe(const std::vector<std::string>& argv, bool withStderr);

// Main thread, with a QApplication: streams the file, `repeats` times over,
// through /bin/cat into a fresh log window (shown, offscreen) by the given
// hand-over and measures.
Result measure(Handover handover, const QString& file, int repeats = 1);

} // namespace veldrin::bench
