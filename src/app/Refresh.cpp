#include "app/AppDelegate.h"

#include "base/Paths.h"
#include "exec/AppProcesses.h"

#include <QFileInfo>

#include <algorithm>

namespace veldrin {

// Cheap tests first: while working nothing is looked at, while paused the
// controller is not asked.
std::optional<SyncState> AppDelegate::stateWithoutAskingTheController() const {
    if (runs.activeProcess || appControl.isQuittingApps)
        return SyncState::working;
    if (QFileInfo::exists(pauseFile()))
        return SyncState::paused;
    return std::nullopt;
}

void AppDelegate::refresh() {
    if (const auto known = stateWithoutAskingTheController())
        showState(*known, std::nullopt);
    else if (!indicator.appProcessQuery)
        startAppProcessQuery(); // a refresh that finds one in flight leaves it to that one
    startDueChecks();
}

void AppDelegate::refreshNow() {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + limits.mainThreadWait;
    const auto left = [&] {
        return std::max(milliseconds(0), duration_cast<milliseconds>(deadline - steady_clock::now()));
    };
    // A pause or resume just chosen shows in this opening if it ends in time.
    if (const auto pause = indicator.pauseSwitch) {
        if (!platform_.work->finishWithin(pause, left()) && left() == milliseconds(0)) {
            refresh(); // no time left to ask: the answer shows when it comes
            return;
        }
    }
    if (const auto known = stateWithoutAskingTheController()) {
        showState(*known, std::nullopt);
    } else if (const auto query = indicator.appProcessQuery) {
        // Its hand-back applies the answer; one that comes later corrects this.
        if (!platform_.work->finishWithin(query, left()))
            showState(SyncState::blocked, noAnswerDescription(controller(), limits.mainThreadWait));
    } else {
        // Nothing in flight: ask right here, for no longer than the main thread may wait.
        QueryLimits bounded = limits.appProcesses;
        bounded.timeout = std::min(bounded.timeout, std::max(left(), milliseconds(1)));
        applyAppProcessAnswer(queryAppProcesses(controller(), bounded));
    }
    startDueChecks();
}

void AppDelegate::menuOpening() {
    // However often hosts open the menu, the controller is asked once a
    // spacing at most, and never waited for.
    const Instant now = platform_.clock->monotonicNow();
    if (indicator.lastOpeningQuery && now - *indicator.lastOpeningQuery < openingQuerySpacing)
        return;
    indicator.lastOpeningQuery = now;
    refresh();
    const std::weak_ptr<BackgroundWork::Task> query = indicator.appProcessQuery;
    if (query.expired())
        return;
    // What a waiting opening would show after mainThreadWait, shown then;
    // the answer replaces it when it comes.
    platform_.scheduler->after(limits.mainThreadWait, [self = QPointer<AppDelegate>(this), query] {
        const auto pending = query.lock();
        if (self && pending && self->indicator.appProcessQuery == pending &&
            !self->stateWithoutAskingTheController())
            self->showState(SyncState::blocked,
                            noAnswerDescription(controller(), self->limits.mainThreadWait));
    });
}

void AppDelegate::startAppProcessQuery() {
    indicator.appProcessQuery =
        inBackground([path = controller(), bound = limits.appProcesses](
                         const StopToken& stop) { return queryAppProcesses(path, bound, stop); },
                     &AppDelegate::applyAppProcessAnswer);
}

void AppDelegate::applyAppProcessAnswer(const AppProcessAnswer& answer) {
    indicator.appProcessQuery.reset();
    // A run or the marker may have come since the query started.
    if (const auto known = stateWithoutAskingTheController())
        showState(*known, std::nullopt);
    else
        showState(answer.lines.isEmpty() ? SyncState::ready : SyncState::blocked, answer.failure);
}

void AppDelegate::showState(SyncState state, const std::optional<QString>& failure) {
    indicator.state = state;
    indicator.appProcessFailure = failure;
    if (indicator.statusItem && indicator.statusItem->hasButton())
        indicator.statusItem->setIndicator(state);
    showToolTip();
    menuMayHaveChanged();
}

void AppDelegate::menuMayHaveChanged() {
    if (indicator.statusItem)
        indicator.statusItem->menuChanged();
}

void AppDelegate::showToolTip() {
    if (!indicator.statusItem || !indicator.statusItem->hasButton())
        return;
    QString text =
        appVersionLabel() + QLatin1Char('\n') + statusLine(indicator.state, indicator.appProcessFailure);
    if (const auto& run = runs.activeProcess)
        text += QStringLiteral("\nRunning: ") + run->title + QStringLiteral(" (") +
                durationText(std::chrono::duration_cast<std::chrono::milliseconds>(
                    platform_.clock->monotonicNow() - run->started)) +
                QLatin1Char(')');
    // Only a change goes to the tray host.
    if (text != indicator.toolTip)
        indicator.statusItem->setToolTip(indicator.toolTip = text);
}

void AppDelegate::startDueChecks() {
    const Instant now = platform_.clock->monotonicNow();
    if (isDue(cloud.lastCloudRefresh, now, cloudRefreshSpacing))
        refreshCloudStatus(false);
    if (isDue(lid.lastLidKeepAwakeRefresh, now, lidRefreshSpacing))
        refreshLidKeepAwake(false);
}

// The switch never holds the main thread: its effect shows when the
// controller has answered (an opening of Veldrin's own menu waits for it
// briefly). A second switch while one is under way is dropped: both would
// read the same marker and ask for the same thing.
void AppDelegate::togglePause() {
    if (indicator.pauseSwitch)
        return;
    QStringList argv{controller()};
    argv += QFileInfo::exists(pauseFile()) ? controllerArgs::resume() : controllerArgs::pause();
    indicator.pauseSwitch = inBackground(
        [argv, bound = limits.pauseSwitch](const StopToken& stop) {
            // The controller makes or removes the marker; its answer is not looked at.
            return shell(argv, bound, stop).status;
        },
        [](AppDelegate& self, int) {
            self.indicator.pauseSwitch.reset();
            self.refresh();
        });
}

} // namespace veldrin
