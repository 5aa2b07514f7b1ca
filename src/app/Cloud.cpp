#include "app/AppDelegate.h"

#include "base/Paths.h"
#include "cloud/CloudCommands.h"

namespace veldrin {

// One refresh at a time; requests that find one in flight are dropped, not
// queued. The spacing counts from the last hand-back, failed or not.
void AppDelegate::refreshCloudStatus(bool force) {
    if (cloud.cloudRefreshing)
        return;
    if (!force && !isDue(cloud.lastCloudRefresh, platform_.clock->monotonicNow(), cloudRefreshSpacing))
        return;
    cloud.cloudRefreshing = true;
    inBackground(
        [argv = QStringList{controller()} + cloudStatusArguments(),
         bound = limits.cloudStatus](const StopToken& stop) {
            const ShellResult result = shell(argv, bound, stop);
            return parseCloudStatus(result.status, result.output);
        },
        &AppDelegate::applyCloudModel);
}

// The four model fields change together; nothing is redrawn until the menu opens.
void AppDelegate::applyCloudModel(const CloudModel& model) {
    cloud.cloudDeviceName = model.cloudDeviceName;
    cloud.cloudProfiles = model.cloudProfiles;
    cloud.cloudTransfers = model.cloudTransfers;
    cloud.cloudError = model.cloudError;
    cloud.cloudRefreshing = false;
    cloud.lastCloudRefresh = platform_.clock->monotonicNow();
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
