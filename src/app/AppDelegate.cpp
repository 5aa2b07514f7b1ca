#include "app/AppDelegate.h"

#include "base/Paths.h"
#include "menu/MenuBuilder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <cstdio>

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
    if (indicator.statusItem)
        platform_.scheduler->after(trayLookDelay, [self] {
            if (self)
                self->lookForTray(false);
        });
}

// A desktop without a tray (stock GNOME) would leave Veldrin running with no
// way to reach it: the user is told, once, how to get one, and how to reach
// the menu meanwhile. An icon still appears if a tray comes later. A tray
// that is there but has not taken the icon yet (one still starting, or
// GNOME's, whose start-up now and then fails on an item) is offered it again
// and again; only if it still has not shown it a minute on is the user told.
void AppDelegate::lookForTray(bool lastLook) {
    if (!indicator.statusItem || indicator.statusItem->shown() == true)
        return;
    if (indicator.statusItem->trayPresent()) {
        if (!lastLook) {
            platform_.scheduler->after(trayLookAgainDelay, [self = QPointer<AppDelegate>(this)] {
                if (self)
                    self->lookForTray(true);
            });
            return;
        }
        std::fputs(
            "veldrin: the tray on this desktop has not shown Veldrin's icon yet; Veldrin keeps offering "
            "it. Meanwhile, start veldrin again, or run veldrin --menu, to open its menu.\n",
            stderr);
        platform_.notifications->notify(
            {QStringLiteral("Veldrin's icon has not appeared"),
             QStringLiteral(
                 "The tray on this desktop has not shown Veldrin's icon yet; Veldrin keeps offering "
                 "it. Meanwhile, start Veldrin again, or click here, to open its menu.")},
            [self = QPointer<AppDelegate>(this)] {
                if (self)
                    self->openStatusMenu();
            });
        return;
    }
    std::fputs("veldrin: this desktop shows no status-bar icons, so Veldrin's icon cannot appear; on GNOME, "
               "install and enable the AppIndicator extension (package gnome-shell-extension-appindicator). "
               "Meanwhile, start veldrin again, or run veldrin --menu, to open its menu.\n",
               stderr);
    platform_.notifications->notify(
        {QStringLiteral("Veldrin has no icon on this desktop"),
         QStringLiteral("This desktop shows no status-bar icons. On GNOME, install and enable the "
                        "AppIndicator extension. Meanwhile, start Veldrin again, or click here, to open "
                        "its menu.")},
        [self = QPointer<AppDelegate>(this)] {
            if (self)
                self->openStatusMenu();
        });
}

void AppDelegate::openStatusMenu() {
    if (indicator.statusItem)
        indicator.statusItem->openMenu();
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
