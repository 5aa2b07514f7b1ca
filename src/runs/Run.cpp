#include "runs/Run.h"

namespace veldrin {

Run::Run(QString runTitle, TimePoint startedWhen, Instant startedMonotonic, std::shared_ptr<RunRecord> record,
         std::shared_ptr<LogWindow> window)
    : title(std::move(runTitle)), startedAt(startedWhen), started(startedMonotonic),
      record_(std::move(record)), window_(std::move(window)), view_(window_) {
    window_->setHistoryFile(record_->path());
    window_->show();
    window_->runStarted();
}

void Run::append(const QString& text) {
    if (window_)
        window_->append(text);
    record_->append(text);
    if (!text.isEmpty())
        atLineStart_ = text.back() == QLatin1Char('\n');
}

RecentRun Run::recentEntry() const {
    return {historyFile(), title, startedAt, running(), record_->started(), outcome_};
}

void Run::finish(RunOutcome outcome, const std::optional<QString>& lastLine) {
    if (outcome_)
        return;
    lastLine_ = lastLine.value_or(record_->lastLine());
    outcome.savedWhole = outcome.savedWhole && record_->saved();
    outcome_ = outcome;
    window_->runEnded(outcome);
    record_->finish(outcome);
    // Save As copies the history file where there is one; one that failed
    // holds less than the window.
    if (!record_->saved())
        window_->setHistoryFile(QString());
    window_.reset();
}

void Run::requestStop() {
    if (controller_ && running())
        controller_->stop.requestStop();
}

bool Run::startController(const QStringList& argv, BackgroundWork& work, const Clock& clock,
                          const ControllerOptions& options, std::function<void()> ended) {
    const SpawnResult child = spawnWithPipe(argv);
    if (!child.started()) {
        append(QStringLiteral("Could not start: ") + launchErrorDescription(argv.first(), child.error) +
               QLatin1Char('\n'));
        finish({RunOutcome::Kind::failed, std::nullopt, std::chrono::milliseconds(0)});
        return false;
    }
    controller_ = Controller{child.pid, argv.mid(1), {}};
    StreamOptions stream;
    stream.drainAfterExit = options.drainAfterExit;
    stream.outlivesQuitting = options.outlivesQuitting;
    stream.stopRun = controller_->stop.token();
    stream.killAfter = options.killAfter;
    // The reader holds the run while it reads; the hand-back takes it over,
    // so that the run (and its window) is let go on the main thread.
    streaming_ = work.start([self = shared_from_this(), child, stream, &clock,
                             ended = std::move(ended)](const StopToken& quitting) mutable {
        stream.quitting = quitting;
        Run& run = *self;
        const std::optional<StreamEnd> end = streamChildOutput(
            child, [&run](const QString& text) { run.append(text); }, stream);
        return BackgroundWork::HandBack([self = std::move(self), end, &clock, ended = std::move(ended)] {
            if (!end)
                return;
            self->controllerEnded(*end, clock.monotonicNow());
            ended();
        });
    });
    return true;
}

void Run::controllerEnded(const StreamEnd& end, Instant now) {
    const QString lastOutput = record_->lastLine();
    if (end.stoppedByUser)
        append((atLineStart() ? QString() : QStringLiteral("\n")) + stoppedByUserLine);
    append(closingLine(end.status));
    finish(controllerOutcome(end.status, end.stoppedByUser,
                             std::chrono::duration_cast<std::chrono::milliseconds>(now - started)),
           lastOutput);
}

} // namespace veldrin
