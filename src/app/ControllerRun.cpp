#include "app/AppDelegate.h"

#include "app/RecordedWindow.h"
#include "base/Paths.h"
#include "exec/Spawn.h"
#include "exec/StreamRun.h"

namespace veldrin {

void AppDelegate::runController(const QStringList& arguments, const QString& title) {
    if (runs.activeProcess)
        return;

    const std::shared_ptr<RecordedWindow> window = openRunWindow(title);
    QStringList argv{controller()};
    argv += arguments;
    const SpawnResult child = spawnWithPipe(argv);
    if (!child.started()) {
        window->append(QStringLiteral("Could not start: ") +
                       launchErrorDescription(argv.first(), child.error) + QLatin1Char('\n'));
        finishRun(window, {RunOutcome::Kind::failed, std::nullopt, std::chrono::milliseconds(0)});
        return;
    }

    auto process = std::make_shared<ControllerProcess>();
    *process = {child.pid, arguments, title, window->started, {}};
    runs.activeProcess = process;
    const QPointer<AppDelegate> self(this);
    runs.toolTipClock = platform_.scheduler->scheduleRepeating(std::chrono::seconds(1), [self] {
        if (self)
            self->showToolTip();
    });
    window->setStopHandler([self, process] {
        if (self)
            self->confirmStop(process);
    });
    StreamOptions options;
    options.drainAfterExit = limits.drainAfterExit;
    options.outlivesQuitting = limits.runsOutliveVeldrin;
    options.stopRun = process->stopRun.token();
    options.killAfter = limits.stopKillAfter;
    inBackground(
        [window, child, options](const StopToken& stop) mutable {
            options.quitting = stop;
            // Everything read goes to the window before the closing line does.
            return streamChildOutput(
                child, [&window](const QString& text) { window->append(text); }, options);
        },
        [window, process](AppDelegate& me, const std::optional<StreamEnd>& end) {
            if (!end)
                return;
            const QString lastLine = window->record().lastLine();
            if (end->stoppedByUser)
                window->append((window->atLineStart() ? QString() : QStringLiteral("\n")) +
                               stoppedByUserLine);
            window->append(closingLine(end->status));
            me.finishRun(window,
                         controllerOutcome(end->status, end->stoppedByUser,
                                           std::chrono::duration_cast<std::chrono::milliseconds>(
                                               me.platform_.clock->monotonicNow() - window->started)),
                         lastLine);
            me.finishControllerRun(process);
        });
    refresh();
}

// Asked, not done at once: a stop ends the controller's whole process group.
void AppDelegate::confirmStop(const std::shared_ptr<ControllerProcess>& process) {
    if (runs.activeProcess != process)
        return;
    const bool stop = confirmed(
        *platform_.alerts,
        confirmation(QStringLiteral("Stop ") + process->title + QStringLiteral("?"),
                     QStringLiteral("Stopping may leave the job half done. Veldrin asks it to stop, and ends "
                                    "it if it has not stopped within 5 seconds."),
                     QStringLiteral("Stop Run")));
    if (stop && runs.activeProcess == process)
        process->stopRun.requestStop();
}

void AppDelegate::finishControllerRun(const std::shared_ptr<ControllerProcess>& process) {
    if (runs.activeProcess == process) {
        runs.activeProcess.reset();
        runs.toolTipClock.reset();
    }
    refresh();
    refreshCloudStatus(true);
}

} // namespace veldrin
