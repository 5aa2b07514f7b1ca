#include "app/AppDelegate.h"

#include "menu/MenuBuilder.h"

#include <QPointer>

namespace veldrin {

AppDelegate::AppDelegate(Platform platform, QObject* parent)
    : QObject(parent), platform_(std::move(platform)) {}

AppDelegate::~AppDelegate() {
    // Queries still running are killed and their threads joined; a streamed
    // run's controller is left to finish on its own.
    platform_.work->shutdown();
}

void AppDelegate::applicationDidFinishLaunching(const LaunchOptions& options) {
    if (options.statusItem) {
        indicator.statusItem = platform_.statusBar->createStatusItem();
        if (indicator.statusItem->hasButton())
            indicator.statusItem->setToolTip(appVersionLabel());
        indicator.statusItem->setMenuDelegate(this);
    }

    if (platform_.defaults->boolForKey(idleLock.preventIdleScreenLockKey))
        setPreventIdleScreenLock(true);

    // The distant past makes this first refresh start the cloud and lid checks.
    refresh();
    refreshCloudStatus(false);
    refreshLidKeepAwake(true);

    if (!options.timers)
        return;
    const QPointer<AppDelegate> self(this);
    indicator.timer = platform_.scheduler->scheduleRepeating(5.0, [self] {
        if (self)
            self->refresh();
    });
    bridge.claudeBridgeTimer = platform_.scheduler->scheduleRepeating(bridge.claudeBridgeInterval, [self] {
        if (self)
            self->runClaudeBridgeInBackground();
    });
    platform_.scheduler->after(20.0, [self] {
        if (self)
            self->runClaudeBridgeInBackground();
    });
}

void AppDelegate::applicationWillTerminate() {
    // Only the assertions end here: the stored settings, a running controller
    // and the system's lid setting are left as they are.
    if (idleLock.idleDisplayActivity) {
        platform_.activities->end(*idleLock.idleDisplayActivity);
        idleLock.idleDisplayActivity.reset();
    }
    if (lid.lidSystemActivity) {
        platform_.activities->end(*lid.lidSystemActivity);
        lid.lidSystemActivity.reset();
    }
}

bool AppDelegate::launchWorkPending() const {
    return cloud.cloudRefreshing || indicator.appProcessQuery || lid.lidReadingsInFlight > 0;
}

QString AppDelegate::appVersionLabel() const {
    return composeVersionLabel(platform_.bundleInfo->infoValue(QStringLiteral("CFBundleShortVersionString")),
                               platform_.bundleInfo->infoValue(QStringLiteral("CFBundleVersion")));
}

void AppDelegate::setPreventIdleScreenLock(bool enabled) {
    veldrin::setPreventIdleScreenLock(idleLock, *platform_.activities, *platform_.defaults, enabled);
}

} // namespace veldrin
