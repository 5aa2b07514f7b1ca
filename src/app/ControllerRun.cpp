#include "app/AppDelegate.h"

#include "base/Paths.h"

namespace veldrin {

void AppDelegate::runController(const QStringList& arguments, const QString& title) {
    if (runs.activeProcess)
        return;

    const std::shared_ptr<Run> run = openRun(title);
    QStringList argv{controller()};
    argv += arguments;
    Run::ControllerOptions options;
    options.drainAfterExit = limits.drainAfterExit;
    options.outlivesQuitting = limits.runsOutliveVeldrin;
    options.killAfter = limits.stopKillAfter;
    const QPointer<AppDelegate> self(this);
    const std::weak_ptr<Run> weak = run;
    if (!run->startController(argv, *platform_.work, *platform_.clock, options, [self, weak] {
            if (self)
                self->finishControllerRun(weak.lock());
        })) {
        finishRun(run);
        return;
    }
    runs.activeProcess = run;
    runs.toolTipClock = platform_.scheduler->scheduleRepeating(std::chrono::seconds(1), [self] {
        if (self)
            self->showToolTip();
    });
    run->window()->setStopHandler([self, weak] {
        if (self)
            self->confirmStop(weak.lock());
    });
    refresh();
}

// Asked, not done at once: a stop ends the controller's whole process group.
void AppDelegate::confirmStop(const std::shared_ptr<Run>& run) {
    if (!run || runs.activeProcess != run)
        return;
    const bool stop = confirmed(
        *platform_.alerts,
        confirmation(QStringLiteral("Stop ") + run->title + QStringLiteral("?"),
                     QStringLiteral("Stopping may leave the job half done. Veldrin asks it to stop, and ends "
                                    "it if it has not stopped within 5 seconds."),
                     QStringLiteral("Stop Run")));
    if (stop && runs.activeProcess == run)
        run->requestStop();
}

void AppDelegate::finishControllerRun(const std::shared_ptr<Run>& run) {
    if (run && runs.activeProcess == run) {
        runs.activeProcess.reset();
        runs.toolTipClock.reset();
    }
    if (run)
        finishRun(run);
    refresh();
    refreshCloudStatus(true);
}

} // namespace veldrin
