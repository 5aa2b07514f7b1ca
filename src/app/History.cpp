#include "app/AppDelegate.h"
#include "platform/System.h"

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
// Only the end of a long one is read: more than a window keeps (4 Mi
// characters, at most three bytes each), so that it still drops the start
// itself and names the file that holds the whole.
constexpr qint64 reopenTailBytes = 13 * 1024 * 1024;

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

std::shared_ptr<Run> AppDelegate::openRun(const QString& title) {
    auto run = std::make_shared<Run>(title, platform_.clock->now(), platform_.clock->monotonicNow(),
                                     historyWriter().begin(title, platform_.clock->now()),
                                     platform_.logWindows->create(title));
    runs.logWindow = run->window(); // the window it replaces stays on screen
    runs.recent.prepend(run);
    keepRecentRuns();
    return run;
}

// A run that has ended: unless the user watches it, the desktop is told.
void AppDelegate::finishRun(const std::shared_ptr<Run>& run) {
    menuMayHaveChanged();
    const std::optional<RunOutcome>& outcome = run->outcome();
    // Only a run the user is not watching is told: not one whose window is in
    // front, or has an alert of Veldrin's over it, nor one the user has just
    // stopped.
    if (!outcome || run->window()->isActive() || platform_.alerts->alertOpen() ||
        outcome->kind == RunOutcome::Kind::stopped)
        return;
    const QPointer<AppDelegate> self(this);
    platform_.notifications->notify(
        {notificationSummary(run->title, *outcome), notificationBody(*outcome, run->lastLine())},
        [self, path = run->historyFile()] {
            if (self)
                self->openRecentRun(path);
        });
}

QList<RecentRun> AppDelegate::recentRuns() const {
    QList<RecentRun> list;
    for (const std::shared_ptr<Run>& run : runs.recent)
        list << run->recentEntry();
    for (const PastRun& run : history.past) {
        const bool listed =
            std::any_of(list.begin(), list.end(), [&](const RecentRun& r) { return r.path == run.path; });
        if (!listed && list.size() < 10)
            list << RecentRun{run.path, run.title, run.started, false, true, run.outcome};
    }
    return list.mid(0, 10);
}

// A run whose window still exists brings it to the front; any other opens
// its saved transcript in a window of its own.
void AppDelegate::openRecentRun(const QVariant& representedObject) {
    const QString path = representedObject.toString();
    for (const std::shared_ptr<Run>& run : runs.recent) {
        if (run->historyFile() != path)
            continue;
        if (const std::shared_ptr<LogWindow> window = run->window())
            return window->show();
        // Its window was closed and has gone: the file holds all it showed.
        return showSavedRun(path, run->title, run->outcome());
    }
    const auto run = std::find_if(history.past.begin(), history.past.end(),
                                  [&](const PastRun& r) { return r.path == path; });
    if (run != history.past.end())
        showSavedRun(path, run->title, run->outcome);
}

void AppDelegate::showSavedRun(const QString& path, const QString& title,
                               const std::optional<RunOutcome>& outcome) {
    if (const std::shared_ptr<LogWindow> window = history.windows[path].lock()) {
        window->show();
        return;
    }
    const std::shared_ptr<LogWindow> window = platform_.logWindows->create(title);
    window->setHistoryFile(path);
    history.windows[path] = window;
    window->show();
    inBackground(
        [window, path](const StopToken& stop) {
            QFile file;
            if (!openRegularFile(file, path))
                return false;
            const qint64 start = std::max<qint64>(0, file.size() - reopenTailBytes);
            if (start > 0 && file.seek(start))
                file.readLine(reopenPieceBytes); // from a line's start, never inside a character
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
    inBackground([folder = historyWriter().folder()](const StopToken&) { return pastRuns(folder, 10); },
                 [](AppDelegate& me, const QList<PastRun>& past) {
                     me.history.loadingPastRuns = false;
                     me.history.past = past;
                     me.keepRecentRuns();
                 });
}

// Recent Runs lists ten; the runs beyond them are let go (a window still
// on screen stays), and so are the windows of saved runs no longer listed.
void AppDelegate::keepRecentRuns() {
    while (runs.recent.size() > 10)
        runs.recent.removeLast();
    const QList<RecentRun> listed = recentRuns();
    for (auto it = history.windows.begin(); it != history.windows.end();) {
        const bool shown = std::any_of(listed.begin(), listed.end(),
                                       [&](const RecentRun& r) { return r.path == it->first; });
        it = shown && !it->second.expired() ? std::next(it) : history.windows.erase(it);
    }
}

} // namespace veldrin
