#include "app/AppDelegate.h"

#include "app/RecordedWindow.h"
#include "base/BoundedFile.h"
#include "base/Paths.h"
#include "exec/Utf8Stream.h"
#include "history/PastRuns.h"

#include <QDir>

#include <algorithm>

namespace veldrin {

namespace {

// How much of a saved transcript a window reopened from it is fed, in pieces:
// the window keeps the end of it and says where the whole is.
constexpr qint64 reopenPieceBytes = 1024 * 1024;

QString notificationBody(const RunOutcome& outcome, const QString& lastLine) {
    QString body = outcome.exitCode ? QStringLiteral("Exit code ") + QString::number(*outcome.exitCode) +
                                          QStringLiteral(" · ") + durationText(outcome.duration)
                                    : durationText(outcome.duration);
    const QString line = lastLine.trimmed();
    if (!line.isEmpty())
        body += QLatin1Char('\n') + (line.size() > 120 ? line.left(119) + QStringLiteral("…") : line);
    return body;
}

QString notificationSummary(const QString& title, const RunOutcome& outcome) {
    switch (outcome.kind) {
    case RunOutcome::Kind::succeeded:
        return title + QStringLiteral(" finished");
    case RunOutcome::Kind::failed:
        return title + QStringLiteral(" failed");
    case RunOutcome::Kind::stopped:
        break;
    }
    return title + QStringLiteral(" stopped");
}

} // namespace

HistoryWriter& AppDelegate::historyWriter() {
    if (!historyWriter_)
        historyWriter_ = std::make_unique<HistoryWriter>(runHistoryFolder(), limits.history);
    return *historyWriter_;
}

std::shared_ptr<RecordedWindow> AppDelegate::openRunWindow(const QString& title) {
    const std::shared_ptr<RunRecord> record = historyWriter().begin(title, platform_.clock->now());
    auto window = std::make_shared<RecordedWindow>(platform_.logWindows->create(title), record, title,
                                                   platform_.clock->monotonicNow());
    runs.logWindow = window; // the window it replaces stays on screen
    history.windows[record->path()] = window;
    history.recent.prepend({record->path(), title, platform_.clock->now(), true, true, std::nullopt});
    keepRecentRuns();
    window->show();
    window->runStarted();
    return window;
}

void AppDelegate::finishRun(const std::shared_ptr<RecordedWindow>& window, const RunOutcome& outcome,
                            const QString& lastLine) {
    window->runEnded(outcome);
    const QString path = window->record().path();
    for (RecentRun& run : history.recent) {
        if (run.path == path) {
            run.running = false;
            run.outcome = outcome;
            run.saved = window->record().saved();
        }
    }
    // Save As copies the history file where there is one; a file that failed holds less than the window.
    if (!window->record().saved())
        window->setHistoryFile(QString());
    // The user who watches the window needs no notification.
    if (window->isActive())
        return;
    const QPointer<AppDelegate> self(this);
    platform_.notifications->notify(
        {notificationSummary(window->title, outcome), notificationBody(outcome, lastLine)}, [self, path] {
            if (self)
                self->openRecentRun(path);
        });
}

// A run whose window still exists brings it to the front; any other opens
// its saved transcript in a window of its own.
void AppDelegate::openRecentRun(const QVariant& representedObject) {
    const QString path = representedObject.toString();
    const auto run = std::find_if(history.recent.begin(), history.recent.end(),
                                  [&](const RecentRun& r) { return r.path == path; });
    if (run == history.recent.end())
        return;
    if (const std::shared_ptr<LogWindow> window = history.windows[path].lock()) {
        window->show();
        return;
    }
    const std::shared_ptr<LogWindow> window = platform_.logWindows->create(run->title);
    window->setHistoryFile(path);
    history.windows[path] = window;
    window->show();
    const std::optional<RunOutcome> outcome = run->outcome;
    inBackground(
        [window, path](const StopToken& stop) {
            QFile file;
            if (!openRegularFile(file, path))
                return false;
            // Fed piece by piece: the window waits for itself, and keeps the end.
            Utf8StreamDecoder decoder;
            while (!stop.stopRequested() && !file.atEnd())
                window->append(decoder.feed(file.read(reopenPieceBytes)));
            window->append(decoder.finish());
            return true;
        },
        [window, outcome](AppDelegate&, bool read) {
            if (!read)
                window->append(QStringLiteral("This run's transcript is no longer saved.\n"));
            if (outcome)
                window->runEnded(*outcome);
        });
}

void AppDelegate::showAllRuns() {
    const QString folder = historyWriter().folder();
    const QPointer<AppDelegate> self(this);
    const auto sayWhy = [self](const std::optional<QString>& error) {
        if (self && error)
            self->platform_.alerts->runModal({AlertStyle::warning,
                                              QStringLiteral("Could not show the runs"),
                                              *error,
                                              {QStringLiteral("OK")},
                                              std::nullopt});
    };
    if (!QDir().mkpath(folder))
        sayWhy(QStringLiteral("The folder ") + folder + QStringLiteral(" could not be made."));
    else
        platform_.workspace->openFolder(folder, sayWhy);
}

// The saved runs join this session's in Recent Runs once they are read.
void AppDelegate::loadPastRuns() {
    history.loadingPastRuns = true;
    inBackground(
        [folder = historyWriter().folder()](const StopToken&) { return pastRuns(folder, 10); },
        [](AppDelegate& me, const QList<PastRun>& past) {
            me.history.loadingPastRuns = false;
            for (const PastRun& run : past) {
                const bool known = std::any_of(me.history.recent.begin(), me.history.recent.end(),
                                               [&](const RecentRun& r) { return r.path == run.path; });
                if (!known)
                    me.history.recent.append({run.path, run.title, run.started, false, true, run.outcome});
            }
            me.keepRecentRuns();
        });
}

// Recent Runs lists ten; the windows of runs beyond them are forgotten too.
void AppDelegate::keepRecentRuns() {
    while (history.recent.size() > 10)
        history.recent.removeLast();
    for (auto it = history.windows.begin(); it != history.windows.end();) {
        const bool listed = std::any_of(history.recent.begin(), history.recent.end(),
                                        [&](const RecentRun& r) { return r.path == it->first; });
        it = listed && !it->second.expired() ? std::next(it) : history.windows.erase(it);
    }
}

} // namespace veldrin
