#include "app/AppDelegate.h"

#include "base/Paths.h"
#include "menu/MenuBuilder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace veldrin {

AppDelegate::AppDelegate(Platform platform, QObject* parent)
    : QObject(parent), platform_(std::move(platform)) {}

AppDelegate::~AppDelegate() {
    // Queries still running are killed and their threads joined; a streamed
    // run's controller and a background Claude sync are left to finish on
    // their own (unless runsOutliveVeldrin is off).
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

    // Nothing has been checked yet, so this first refresh starts the cloud and lid checks.
    refresh();
    refreshCloudStatus(false);
    refreshLidKeepAwake(true);
    loadPastRuns();

    if (!options.timers)
        return;
    const QPointer<AppDelegate> self(this);
    indicator.timer = platform_.scheduler->scheduleRepeating(refreshInterval, [self] {
        if (self)
            self->refresh();
    });
    bridge.claudeBridgeTimer = platform_.scheduler->scheduleRepeating(bridge.claudeBridgeInterval, [self] {
        if (self)
            self->runClaudeBridgeInBackground();
    });
    platform_.scheduler->after(claudeBridge::firstRunDelay, [self] {
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
    return cloud.cloudRefreshing || indicator.appProcessQuery || lid.lidReadingsInFlight > 0 ||
           history.loadingPastRuns;
}

void AppDelegate::openMenuAfterLaunch(StatusMenu& menu) {
    const QDeadlineTimer deadline(limits.mainThreadWait);
    while (launchWorkPending() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    // As an opening would say after waiting that long for the apps.
    if (indicator.appProcessQuery && !stateWithoutAskingTheController())
        showState(SyncState::blocked, noAnswerDescription(controller(), limits.mainThreadWait));
    rebuildMenu(menu);
}

QString AppDelegate::appVersionLabel() const {
    return composeVersionLabel(platform_.bundleInfo->infoValue(QStringLiteral("CFBundleShortVersionString")),
                               platform_.bundleInfo->infoValue(QStringLiteral("CFBundleVersion")));
}

void AppDelegate::setPreventIdleScreenLock(bool enabled) {
    veldrin::setPreventIdleScreenLock(idleLock, *platform_.activities, *platform_.defaults, enabled);
}

} // namespace veldrin
