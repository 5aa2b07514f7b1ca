#include "gui/QtStatusItem.h"

#include "gui/IndicatorIcon.h"
#include "gui/QtMenu.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

namespace veldrin {

QtStatusItem::QtStatusItem()
    : menu_(std::make_unique<QMenu>()), tray_(new QSystemTrayIcon(this)), trayWatch_(new QTimer(this)) {
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
    tray_->setContextMenu(menu_.get());
#if !defined(Q_OS_MACOS)
    // Tray hosts send a plain click as "activated"; the menu should open on
    // any click, as a status menu does.
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            menu_->popup(QCursor::pos());
    });
#endif
}

QtStatusItem::~QtStatusItem() {
    tray_->setContextMenu(nullptr);
}

void QtStatusItem::setToolTip(const QString& text) {
    tray_->setToolTip(text);
}

void QtStatusItem::setIndicator(SyncState state) {
    if (shown_ == state)
        return;
    shown_ = state;
    tray_->setIcon(indicatorIcon(indicatorTint(state)));
    showWhenTrayAvailable();
}

void QtStatusItem::setMenuDelegate(MenuDelegate* delegate) {
    delegate_ = delegate;
}

void QtStatusItem::showWhenTrayAvailable() {
    if (tray_->isVisible())
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
