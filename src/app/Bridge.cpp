#include "app/AppDelegate.h"

#include "platform/Paths.h"

#include <QPointer>

namespace veldrin {

// Skipped, not queued, while a run of either kind is going on: the next tick
// tries again.
void AppDelegate::runClaudeBridgeInBackground() {
    if (bridge.claudeBridgeRunning || runs.activeProcess)
        return;
    bridge.claudeBridgeRunning = true;
    const QPointer<AppDelegate> self(this);
    platform_.work->start([self, argv = QStringList{controller()} + claudeBridge::arguments(),
                           bound = limits.claudeBridge](const StopToken& stop) mutable {
        const ShellResult result = shell(argv, bound, stop);
        return BackgroundWork::HandBack([self = std::move(self), result] {
            if (self)
                self->finishClaudeBridgeRun(result);
        });
    });
}

// The menu shows the new text the next time it opens.
void AppDelegate::finishClaudeBridgeRun(const ShellResult& result) {
    bridge.claudeBridgeStatus =
        claudeBridge::outcome(result.status, result.output, claudeBridge::timeText(platform_.clock->now()));
    bridge.claudeBridgeRunning = false;
}

} // namespace veldrin
