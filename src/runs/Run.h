#pragma once

// One run, from its start to its record: a streamed controller run, or a
// stop sequence (Quit All, the maintenance jobs), which has no program of its
// own. It carries the run's transcript to its window and its history file,
// in order, from whatever thread reads it; it stops a controller it started
// (TERM to the controller's process group, KILL to the group after the grace,
// whether or not the controller itself is still there, and to nothing else);
// and once it has ended it holds its outcome as data. Its window, Recent
// Runs, the notification and the icon's tooltip read it; none of them reads
// the transcript's words to learn how it went.

#include "base/RunOutcome.h"
#include "exec/Spawn.h"
#include "exec/StreamRun.h"
#include "history/RecentRunsMenu.h"
#include "history/RunHistory.h"
#include "platform/BackgroundWork.h"
#include "platform/Clock.h"
#include "platform/LogWindows.h"
#include "platform/StopToken.h"

#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace veldrin {

class Run : public std::enable_shared_from_this<Run> {
public:
    // Main thread. The window is shown, its strip running.
    Run(QString title, TimePoint startedAt, Instant started, std::shared_ptr<RunRecord> record,
        std::shared_ptr<LogWindow> window);

    const QString title;
    const TimePoint startedAt; // the wall clock's, for Recent Runs
    const Instant started;     // for its duration

    // Any thread: to the window and the history file, in this order.
    void append(const QString& text);
    // Any thread: whether what was appended so far ends a line (or is nothing).
    bool atLineStart() const { return atLineStart_; }
    // The last line of its output that is not blank (before the closing
    // line, once it has ended), for a notification.
    QString lastLine() const { return outcome_ ? lastLine_ : record_->lastLine(); }

    QString historyFile() const { return record_->path(); }
    // Its window: held while the run goes on; once it has ended, only for as
    // long as something else holds it (a window on screen stays there, one
    // closed goes, and the run's file holds all it showed).
    std::shared_ptr<LogWindow> window() const { return view_.lock(); }
    bool running() const { return !outcome_; }
    const std::optional<RunOutcome>& outcome() const { return outcome_; }
    // As Recent Runs lists it.
    RecentRun recentEntry() const;

    // Its end: the outcome (saved whole as far as the disk has said) goes to
    // the window's strip and beside the history file. Once. `lastLine` is
    // what lastLine() says from then on; by default the last line so far.
    void finish(RunOutcome outcome, const std::optional<QString>& lastLine = std::nullopt);

    // A controller run: the program started, and the user's stop.
    struct Controller {
        pid_t pid = -1;
        QStringList arguments;
        StopSource stop;
    };
    const std::optional<Controller>& controller() const { return controller_; }
    // Asks the controller to stop (once the user has confirmed it).
    void requestStop();

    // Starts `argv` as this run's controller, its output streaming here off
    // the main thread (through `work`). Once it has exited the run ends on
    // the main thread: "Stopped by user." when the user stopped it, the
    // closing line "Finished with exit code N.", its outcome; then `ended` is
    // called. Neither happens when Veldrin quits first. False when it could
    // not start: the window says why, and the run has ended as failed.
    struct ControllerOptions {
        std::chrono::milliseconds drainAfterExit{2000};
        std::chrono::milliseconds killAfter{5000};
        bool outlivesQuitting = true;
    };
    bool startController(const QStringList& argv, BackgroundWork& work, const Clock& clock,
                         const ControllerOptions& options, std::function<void()> ended);

private:
    void controllerEnded(const StreamEnd& end, Instant now);

    const std::shared_ptr<RunRecord> record_;
    std::shared_ptr<LogWindow> window_; // while it runs
    const std::weak_ptr<LogWindow> view_;
    std::optional<RunOutcome> outcome_;
    QString lastLine_;
    std::optional<Controller> controller_;
    std::shared_ptr<BackgroundWork::Task> streaming_;
    std::atomic<bool> atLineStart_ = true;
};

} // namespace veldrin
