#include "gui/QtStatusItem.h"

#include "gui/IndicatorIcon.h"
#include "gui/MenuWindow.h"
#include "gui/QtMenu.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#if !defined(Q_OS_MACOS)
#include "base/Paths.h"
#include "platform/linux/SessionBus.h"
#include "platform/linux/StatusNotifierItem.h"

#include <QtEndian>

#include <cstdio>
#endif

namespace veldrin {

namespace {

#if !defined(Q_OS_MACOS)
// The sizes panels ask for most; a host scales the nearest.
TrayPixmaps trayPixmaps(SyncState state) {
    TrayPixmaps out;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        const QImage image = indicatorImage(state, size).convertToFormat(QImage::Format_ARGB32);
        TrayPixmap pixmap{image.width(), image.height(), {}};
        pixmap.argb.resize(qsizetype(image.width()) * image.height() * 4);
        auto* out32 = reinterpret_cast<quint32*>(pixmap.argb.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                *out32++ = qToBigEndian(line[x]);
        }
        out << pixmap;
    }
    return out;
}
#endif

} // namespace

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
#if defined(Q_OS_MACOS)
    useQtTray(true);
#else
    const std::optional<QByteArray> bus = sessionBusAddress();
    if (!bus) {
        useQtTray(true);
        return;
    }
    // The ready icon is looked up by name in a folder of Veldrin's own,
    // written at every start, so that hosts find it wherever Veldrin runs
    // from; where it cannot be written, hosts get the pictures alone.
    const QString icons = homeFolder() + QStringLiteral("/.cache/veldrin/icons");
    const std::optional<QString> unwritten = writeIndicatorTheme(icons);
    if (unwritten)
        std::fprintf(stderr, "veldrin: %s; the tray gets the icon as pictures only\n",
                     qPrintable(*unwritten));
    namedIcon_ = !unwritten;
    item_ = new StatusNotifierItem(*bus, namedIcon_ ? icons : QString(), this);
    // Qt's own tray decides once, at its first icon, between D-Bus and XEmbed;
    // it is asked only when no watcher is there, so it always picks XEmbed
    // and never shows a second icon beside this one. Wayland has no XEmbed.
    connect(item_, &StatusNotifierItem::registeredChanged, this, [this](bool registered) {
        useQtTray(!registered && QGuiApplication::platformName() == QLatin1String("xcb"));
    });
    // Hosts that ask for a context menu in spite of ItemIsMenu: on X11 the
    // menu can pop up where they say, once the call has been answered;
    // elsewhere a popup would become a window of its own.
    connect(item_, &StatusNotifierItem::popupRequested, this, [this](const QPoint& at) {
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            QTimer::singleShot(0, this, [this, at] { popup(at.isNull() ? QCursor::pos() : at); });
    });
#endif
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
#if !defined(Q_OS_MACOS)
    // Tray hosts send a plain click as "activated"; the menu should open on
    // any click, as a status menu does.
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            popup(QCursor::pos());
    });
#endif
    showWhenTrayAvailable();
}

void QtStatusItem::popup(const QPoint& at) {
    // However often it is asked for, the menu opens once.
    if (!menu_->isVisible())
        menu_->popup(at);
}

void QtStatusItem::menuChanged() {
#if !defined(Q_OS_MACOS)
    if (item_)
        item_->menuChanged();
#endif
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
#if defined(Q_OS_MACOS)
    return true;
#else
    return (item_ && item_->hostPresent() == true) || (tray_ && QSystemTrayIcon::isSystemTrayAvailable());
#endif
}

std::optional<bool> QtStatusItem::shown() const {
#if defined(Q_OS_MACOS)
    return true;
#else
    if (tray_ && tray_->isVisible())
        return true;
    if (item_) {
        const std::optional<bool> held = item_->hostHolds();
        if (held != false)
            return held;
    }
    // An XEmbed tray that is there docks the icon at the next look.
    return tray_ && QSystemTrayIcon::isSystemTrayAvailable();
#endif
}

void QtStatusItem::setToolTip(const QString& text) {
    toolTip_ = text;
    if (tray_)
        tray_->setToolTip(text);
#if !defined(Q_OS_MACOS)
    if (item_)
        item_->setToolTip(text);
#endif
}

void QtStatusItem::setIndicator(SyncState state) {
    if (indicatorState_ == state)
        return;
    indicatorState_ = state;
#if !defined(Q_OS_MACOS)
    // Only the neutral icon follows the panel; blue and orange are pictures.
    if (item_)
        item_->setIcon(trayPixmaps(state), state == SyncState::ready && namedIcon_
                                               ? QString::fromLatin1(indicatorIconName)
                                               : QString());
#endif
    if (tray_) {
        tray_->setIcon(indicatorIcon(state));
        showWhenTrayAvailable();
    }
}

void QtStatusItem::setMenuDelegate(MenuDelegate* delegate) {
    delegate_ = delegate;
#if !defined(Q_OS_MACOS)
    if (item_)
        item_->setMenuDelegate(delegate);
#endif
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
