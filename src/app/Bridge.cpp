#include "app/AppDelegate.h"

#include "base/Paths.h"

namespace veldrin {

// Skipped, not queued, while a run of either kind is going on: the next tick
// tries again.
void AppDelegate::runClaudeBridgeInBackground() {
    if (bridge.claudeBridgeRunning || runs.activeProcess)
        return;
    bridge.claudeBridgeRunning = true;
    QueryLimits bound = limits.claudeBridge;
    bound.outlivesStop = bound.outlivesStop && limits.runsOutliveVeldrin;
    inBackground([argv = QStringList{controller()} + claudeBridge::arguments(),
                  bound](const StopToken& stop) { return shell(argv, bound, stop); },
                 &AppDelegate::finishClaudeBridgeRun);
}

// The menu shows the new text the next time it opens.
void AppDelegate::finishClaudeBridgeRun(const ShellResult& result) {
    bridge.claudeBridgeStatus =
        claudeBridge::outcome(result.status, result.output, claudeBridge::timeText(platform_.clock->now()));
    bridge.claudeBridgeRunning = false;
    const bool succeeded = result.status == 0;
    if (!succeeded && bridge.lastSucceeded == true) {
        bridge.failureTold = true;
        platform_.notifications->notify(
            {QStringLiteral("Claude Code sync failed"), bridge.claudeBridgeStatus}, {});
    } else if (succeeded && bridge.failureTold) {
        bridge.failureTold = false;
        platform_.notifications->notify(
            {QStringLiteral("Claude Code sync works again"), bridge.claudeBridgeStatus}, {});
    }
    bridge.lastSucceeded = succeeded;
}

} // namespace veldrin
