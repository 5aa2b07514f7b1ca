#include "platform/qt/QtStatusItem.h"

#include "platform/IndicatorIcon.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

namespace veldrin {

QtStatusItem::QtStatusItem() : tray_(new QSystemTrayIcon(this)), trayWatch_(new QTimer(this)) {
    trayWatch_->setInterval(std::chrono::seconds(2));
    connect(trayWatch_, &QTimer::timeout, this, &QtStatusItem::showWhenTrayAvailable);
#if !defined(Q_OS_MACOS)
    // Tray hosts send a plain click as "activated"; the menu should open on
    // any click, as a status menu does.
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (menu_ && (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick))
            menu_->popup(QCursor::pos());
    });
#endif
}

QtStatusItem::~QtStatusItem() {
    tray_->setContextMenu(nullptr);
}

void QtStatusItem::setToolTip(const QString& text) { tray_->setToolTip(text); }

void QtStatusItem::setIndicator(const QColor& tint) {
    if (tint == tint_ && !tray_->icon().isNull())
        return;
    tint_ = tint;
    tray_->setIcon(indicatorIcon(tint));
    showWhenTrayAvailable();
}

void QtStatusItem::setMenu(std::unique_ptr<QMenu> menu) {
    menu_ = std::move(menu);
    tray_->setContextMenu(menu_.get());
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

std::unique_ptr<StatusItem> QtStatusBar::createStatusItem() { return std::make_unique<QtStatusItem>(); }

} // namespace veldrin
