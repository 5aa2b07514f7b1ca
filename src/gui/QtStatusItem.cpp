#include "gui/QtStatusItem.h"

#include "gui/IndicatorIcon.h"
#include "gui/MenuWindow.h"
#include "gui/QtMenu.h"
#include "platform/DesktopTray.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

namespace veldrin {

QtStatusItem::QtStatusItem() : menu_(std::make_unique<QMenu>()), trayWatch_(new QTimer(this)) {
    trayWatch_->setInterval(std::chrono::seconds(2));
    connect(trayWatch_, &QTimer::timeout, this, &QtStatusItem::showWhenTrayAvailable);
    // One menu for the whole run, refilled each time it is about to show.
    connect(menu_.get(), &QMenu::aboutToShow, this, [this] {
        if (!delegate_)
            return;
        MenuDelegate* delegate = delegate_;
        QtStatusMenu menu(menu_.get(), [delegate](Action action, const QVariant& object) {
            delegate->perform(action, object);
        });
        delegate->menuWillOpen(menu);
    });
    desktop_ = makeDesktopTray({QString::fromLatin1(indicatorIconName), writeIndicatorTheme}, this);
    connect(desktop_, &DesktopTray::qtTrayWanted, this, &QtStatusItem::useQtTray);
    connect(desktop_, &DesktopTray::popupRequested, this,
            [this](const QPoint& at) { popup(at.isNull() ? QCursor::pos() : at); });
    connect(desktop_, &DesktopTray::menuWanted, this, &QtStatusItem::openMenu);
    if (desktop_->wantsQtTray())
        useQtTray(true);
}

QtStatusItem::~QtStatusItem() {
    useQtTray(false);
}

void QtStatusItem::useQtTray(bool use) {
    if (!use) {
        trayWatch_->stop();
        if (tray_)
            tray_->setContextMenu(nullptr);
        delete tray_;
        tray_ = nullptr;
        return;
    }
    if (tray_)
        return;
    tray_ = new QSystemTrayIcon(this);
    tray_->setContextMenu(menu_.get());
    tray_->setToolTip(toolTip_);
    if (indicatorState_)
        tray_->setIcon(indicatorIcon(*indicatorState_));
    // The menu should open on any click, as a status menu does.
    if (desktop_->clickOpensMenu())
        connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                popup(QCursor::pos());
        });
    showWhenTrayAvailable();
}

void QtStatusItem::popup(const QPoint& at) {
    // However often it is asked for, the menu opens once.
    if (!menu_->isVisible())
        menu_->popup(at);
}

void QtStatusItem::menuChanged() {
    desktop_->menuChanged();
}

void QtStatusItem::openMenu() {
    if (!delegate_)
        return;
    if (QGuiApplication::platformName() != QLatin1String("wayland")) {
        popup(QCursor::pos());
        return;
    }
    // Filled afresh, as an opening fills the menu.
    if (menuWindow_)
        menuWindow_->close();
    menuWindow_ = openMenuWindow(*delegate_);
    menuWindow_->show();
    menuWindow_->raise();
    menuWindow_->activateWindow();
}

bool QtStatusItem::trayPresent() const {
    return desktop_->hostPresent() || (tray_ && QSystemTrayIcon::isSystemTrayAvailable());
}

std::optional<bool> QtStatusItem::shown() const {
    if (tray_ && tray_->isVisible())
        return true;
    if (const std::optional<bool> held = desktop_->hostHolds(); held != false)
        return held;
    // An XEmbed tray that is there docks the icon at the next look.
    return tray_ && QSystemTrayIcon::isSystemTrayAvailable();
}

void QtStatusItem::setToolTip(const QString& text) {
    toolTip_ = text;
    if (tray_)
        tray_->setToolTip(text);
    desktop_->setToolTip(text);
}

void QtStatusItem::setIndicator(SyncState state) {
    if (indicatorState_ == state)
        return;
    indicatorState_ = state;
    desktop_->setIcon([state](int size) { return indicatorImage(state, size); }, state == SyncState::ready);
    if (tray_) {
        tray_->setIcon(indicatorIcon(state));
        showWhenTrayAvailable();
    }
}

void QtStatusItem::setMenuDelegate(MenuDelegate* delegate) {
    delegate_ = delegate;
    desktop_->setMenuDelegate(delegate);
}

void QtStatusItem::showWhenTrayAvailable() {
    if (!tray_ || tray_->isVisible() || !indicatorState_)
        return;
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_->show();
        trayWatch_->stop();
    } else if (!trayWatch_->isActive()) {
        trayWatch_->start();
    }
}

std::unique_ptr<StatusItem> QtStatusBar::createStatusItem() {
    return std::make_unique<QtStatusItem>();
}

} // namespace veldrin
