#pragma once

// The run history: every streamed run and stop sequence is written, as it
// streams, to a file of its own in the history folder, by one thread that
// does nothing else. The folder keeps the newest runs within a count and a
// size; a folder that cannot be written costs the runs nothing but their file.

#include "base/RunOutcome.h"
#include "history/PastRuns.h"
#include "platform/Clock.h"

#include <QString>

#include <memory>
#include <mutex>

namespace veldrin {

struct HistoryLimits {
    int runs = 100;
    qint64 bytes = 100 * 1024 * 1024;
    // Pieces waiting for the disk; a thread other than the main one that
    // would queue more waits (its controller's pipe fills meanwhile).
    qint64 pendingBytes = 16 * 1024 * 1024;
};

struct HistoryQueue;

// One run's file. append() may come from any thread, in the order the window
// gets them; the rest is the main thread's. Its name is taken when the run
// begins (a file made there and then, so that no other Veldrin can take it),
// and until the run is over the file holds a shared lock (flock), which
// keeps any Veldrin's pruning off it.
class RunRecord : public std::enable_shared_from_this<RunRecord> {
public:
    // `fd` is the file made for it, locked; -1 when none could be made, and
    // `why` says why.
    RunRecord(std::shared_ptr<HistoryQueue> queue, QString path, int fd, QString why = {});
    ~RunRecord();
    QString path() const { return path_; }
    void append(const QString& text);
    // False once any of it could not be written (a full disk, a folder that
    // cannot be written): the run goes on, unrecorded from there.
    bool saved() const;
    // False while nothing of it is on disk: the file could not be made.
    bool started() const;
    // The last non-empty line appended so far.
    QString lastLine() const;
    // The run is over: its outcome is kept beside the file (saved whole only
    // if all of it was), and the file may be pruned with the others.
    void finish(const RunOutcome& outcome);

private:
    friend struct HistoryQueue;
    const std::shared_ptr<HistoryQueue> queue_;
    const QString path_;
    int fd_;      // handed to the writer thread when it opens the file
    QString why_; // when there is no file
    mutable std::mutex mutex_;
    QString lastLine_;
    QString partialLine_;
    bool failed_ = false;
    bool opened_ = false;
};

class HistoryWriter {
public:
    explicit HistoryWriter(QString folder, HistoryLimits limits = {});
    // Writes out what is queued, then ends its thread.
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    QString folder() const { return folder_; }
    // Main thread. The file of a run that starts now, named
    // "YYYY-MM-DD_HHMMSSZ_<title>.log" (see historyFileName); older runs beyond
    // the limits go.
    std::shared_ptr<RunRecord> begin(const QString& title, TimePoint started);
    // Any thread: returns once everything appended so far is on disk (or failed).
    void flush();

private:
    const QString folder_;
    const std::shared_ptr<HistoryQueue> queue_;
    qint64 lastSecond_ = -1; // of the last run begun, and its number in that second
    int lastSequence_ = 0;
};

// A title as it stands in a file name: characters a file system or a shell
// would misread become "_", and it is cut at 100 characters, or fewer where
// they take more than 200 bytes in UTF-8.
QString fileNameTitle(const QString& title);

} // namespace veldrin
