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

void AppDelegate::togglePause() {
    QStringList argv{controller()};
    argv += QFileInfo::exists(pauseFile()) ? controllerArgs::resume() : controllerArgs::pause();
    const auto task = inBackground(
        [argv, bound = limits.pauseSwitch](const StopToken& stop) {
            // The controller makes or removes the marker; its answer is not looked at.
            return shell(argv, bound, stop).status;
        },
        [](AppDelegate& self, int) { self.refresh(); });
    // A controller slower than this shows its effect when it has answered.
    platform_.work->finishWithin(task, limits.mainThreadWait);
}

} // namespace veldrin
