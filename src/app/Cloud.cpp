#include "app/AppDelegate.h"

#include "cloud/CloudCommands.h"
#include "platform/Paths.h"

#include <QPointer>

namespace veldrin {

// One refresh at a time; requests that find one in flight are dropped, not
// queued. The spacing counts from the last hand-back, failed or not.
void AppDelegate::refreshCloudStatus(bool force) {
    if (cloud.cloudRefreshing)
        return;
    if (!force && secondsBetween(cloud.lastCloudRefresh, platform_.clock->now()) < 30.0)
        return;
    cloud.cloudRefreshing = true;
    const QPointer<AppDelegate> self(this);
    platform_.work->start([self, argv = QStringList{controller()} + cloudStatusArguments(),
                           bound = limits.cloudStatus](const StopToken& stop) mutable {
        const ShellResult result = shell(argv, bound, stop);
        const CloudModel model = parseCloudStatus(result.status, result.output);
        return BackgroundWork::HandBack([self = std::move(self), model] {
            if (self)
                self->applyCloudModel(model);
        });
    });
}

// The four model fields change together; nothing is redrawn until the menu opens.
void AppDelegate::applyCloudModel(const CloudModel& model) {
    cloud.cloudDeviceName = model.cloudDeviceName;
    cloud.cloudProfiles = model.cloudProfiles;
    cloud.cloudTransfers = model.cloudTransfers;
    cloud.cloudError = model.cloudError;
    cloud.cloudRefreshing = false;
    cloud.lastCloudRefresh = platform_.clock->now();
}

void AppDelegate::setCloudMode(const QVariant& representedObject) {
    if (const auto job = cloudCommands::setCloudMode(representedObject))
        run(*job);
}
void AppDelegate::showCloudStatus() {
    run(cloudCommands::showCloudStatus());
}
void AppDelegate::runCloudCycleNow() {
    run(cloudCommands::runCloudCycleNow());
}

} // namespace veldrin
