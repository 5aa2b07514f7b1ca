#include "app/AppDelegate.h"

#include "app/BuildInfo.h"
#include "exec/LogWindow.h"

#include <QMenu>
#include <QPointer>

namespace veldrin {

AppDelegate::AppDelegate(Platform platform, QObject* parent) : QObject(parent), platform_(std::move(platform)) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching(const LaunchOptions& options) {
    if (options.statusItem) {
        statusItem = platform_.statusBar->createStatusItem();
        if (statusItem->hasButton())
            statusItem->setToolTip(appVersionLabel(*platform_.bundleInfo));
        // One menu for the whole run; its entries are replaced at every opening.
        auto menu = std::make_unique<QMenu>();
        QMenu* statusMenu = menu.get();
        connect(statusMenu, &QMenu::aboutToShow, this, [this, statusMenu] { menuWillOpen(statusMenu); });
        statusItem->setMenu(std::move(menu));
    }

    if (platform_.defaults->boolForKey(preventIdleScreenLockKey))
        setPreventIdleScreenLock(true);

    // The distant past makes this first refresh start the cloud and lid checks.
    refresh();
    refreshCloudStatus(false);
    refreshLidKeepAwake(true);

    if (!options.timers)
        return;
    const QPointer<AppDelegate> self(this);
    timer = platform_.scheduler->scheduleRepeating(5.0, [self] {
        if (self)
            self->refresh();
    });
    claudeBridgeTimer = platform_.scheduler->scheduleRepeating(claudeBridgeInterval, [self] {
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
    if (idleDisplayActivity) {
        platform_.activities->end(*idleDisplayActivity);
        idleDisplayActivity.reset();
    }
    if (lidSystemActivity) {
        platform_.activities->end(*lidSystemActivity);
        lidSystemActivity.reset();
    }
}

bool AppDelegate::launchWorkPending() const {
    // The lid reading joins this once it runs in the background.
    return cloudRefreshing;
}

} // namespace veldrin
