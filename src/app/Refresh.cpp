#include "app/AppDelegate.h"

#include "exec/AppProcesses.h"
#include "platform/Paths.h"

#include <QFileInfo>
#include <QPointer>

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
    if (const auto known = stateWithoutAskingTheController()) {
        showState(*known, std::nullopt);
    } else if (const auto query = indicator.appProcessQuery) {
        // Its hand-back applies the answer; one that comes later corrects this.
        if (!platform_.work->finishWithin(query, limits.mainThreadWait))
            showState(SyncState::blocked, noAnswerDescription(controller(), limits.mainThreadWait));
    } else {
        // Nothing in flight: ask right here, for no longer than the main thread may wait.
        QueryLimits bounded = limits.appProcesses;
        bounded.timeout = std::min(bounded.timeout, limits.mainThreadWait);
        applyAppProcessAnswer(queryAppProcesses(controller(), bounded));
    }
    startDueChecks();
}

void AppDelegate::startAppProcessQuery() {
    const QPointer<AppDelegate> self(this);
    indicator.appProcessQuery = platform_.work->start(
        [self, path = controller(), queryLimits = limits.appProcesses](const StopToken& stop) mutable {
            const AppProcessAnswer answer = queryAppProcesses(path, queryLimits, stop);
            return BackgroundWork::HandBack([self = std::move(self), answer] {
                if (self)
                    self->applyAppProcessAnswer(answer);
            });
        });
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
}

void AppDelegate::startDueChecks() {
    const TimePoint now = platform_.clock->now();
    if (secondsBetween(cloud.lastCloudRefresh, now) >= 30.0)
        refreshCloudStatus(false);
    if (secondsBetween(lid.lastLidKeepAwakeRefresh, now) >= 15.0)
        refreshLidKeepAwake(false);
}

void AppDelegate::togglePause() {
    QStringList argv{controller()};
    argv += QFileInfo::exists(pauseFile()) ? controllerArgs::resume() : controllerArgs::pause();
    const QPointer<AppDelegate> self(this);
    const auto task =
        platform_.work->start([self, argv, pauseLimits = limits.pauseSwitch](const StopToken& stop) mutable {
            // The controller makes or removes the marker; its answer is not looked at.
            shell(argv, pauseLimits, stop);
            return BackgroundWork::HandBack([self = std::move(self)] {
                if (self)
                    self->refresh();
            });
        });
    // A controller slower than this shows its effect when it has answered.
    platform_.work->finishWithin(task, limits.mainThreadWait);
}

} // namespace veldrin
