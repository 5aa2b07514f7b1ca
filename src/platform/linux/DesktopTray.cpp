#include "platform/DesktopTray.h"

#include "base/Paths.h"
#include "platform/linux/SessionBus.h"
#include "platform/linux/StatusNotifierItem.h"

#include <QGuiApplication>
#include <QTimer>
#include <QtEndian>

#include <cstdio>

namespace veldrin {

namespace {

// The sizes panels ask for most; a host scales the nearest.
TrayPixmaps trayPixmaps(const std::function<QImage(int size)>& picture) {
    TrayPixmaps out;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        const QImage image = picture(size).convertToFormat(QImage::Format_ARGB32);
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

// A StatusNotifierItem whenever there is a session bus; Qt's tray icon
// (XEmbed) only on X11 while no watcher holds the item, and wherever there
// is no bus at all.
class NotifierTray : public DesktopTray {
public:
    NotifierTray(const TrayIconTheme& theme, QObject* parent)
        : DesktopTray(parent), iconName(theme.iconName) {
        const std::optional<QByteArray> bus = sessionBusAddress();
        if (!bus)
            return;
        // The ready icon is looked up by name in a folder of Veldrin's own,
        // written at every start, so that hosts find it wherever Veldrin runs
        // from; where it cannot be written, hosts get the pictures alone.
        const QString icons = homeFolder() + QStringLiteral("/.cache/veldrin/icons");
        const std::optional<QString> unwritten = theme.write(icons);
        if (unwritten)
            std::fprintf(stderr, "veldrin: %s; the tray gets the icon as pictures only\n",
                         qPrintable(*unwritten));
        namedIcon = !unwritten;
        item = new StatusNotifierItem(*bus, namedIcon ? icons : QString(), this);
        // Qt's own tray decides once, at its first icon, between D-Bus and
        // XEmbed; it is asked only when no watcher is there, so it always
        // picks XEmbed and never shows a second icon beside this one. Wayland
        // has no XEmbed.
        connect(item, &StatusNotifierItem::registeredChanged, this, [this](bool registered) {
            Q_EMIT qtTrayWanted(!registered && QGuiApplication::platformName() == QLatin1String("xcb"));
        });
        // Hosts that ask for a context menu in spite of ItemIsMenu: on X11 the
        // menu can pop up where they say, once the call has been answered;
        // elsewhere a popup would become a window of its own.
        connect(item, &StatusNotifierItem::popupRequested, this, [this](const QPoint& at) {
            if (QGuiApplication::platformName() == QLatin1String("xcb"))
                QTimer::singleShot(0, this, [this, at] { Q_EMIT popupRequested(at); });
        });
        // A click on an icon whose host never read the menu would do nothing.
        connect(item, &StatusNotifierItem::menuUnreachable, this, [this](const QPoint& at) {
            QTimer::singleShot(0, this, [this, at] {
                if (QGuiApplication::platformName() == QLatin1String("xcb"))
                    Q_EMIT popupRequested(at);
                else
                    Q_EMIT menuWanted();
            });
        });
    }

    bool wantsQtTray() const override { return !item; }
    bool clickOpensMenu() const override { return true; }

    void setToolTip(const QString& text) override {
        if (item)
            item->setToolTip(text);
    }

    void setIcon(const std::function<QImage(int size)>& picture, bool themed) override {
        // Only the neutral icon follows the panel; blue and orange are pictures.
        if (item)
            item->setIcon(trayPixmaps(picture), themed && namedIcon ? iconName : QString());
    }

    void setMenuDelegate(MenuDelegate* delegate) override {
        if (item)
            item->setMenuDelegate(delegate);
    }

    void menuChanged() override {
        if (item)
            item->menuChanged();
    }

    bool hostPresent() const override { return item && item->hostPresent() == true; }

    std::optional<bool> hostHolds() const override { return item ? item->hostHolds() : false; }

private:
    const QString iconName;
    StatusNotifierItem* item = nullptr;
    // Whether hosts can find the ready icon by name.
    bool namedIcon = false;
};

} // namespace

DesktopTray* makeDesktopTray(const TrayIconTheme& theme, QObject* parent) {
    return new NotifierTray(theme, parent);
}

} // namespace veldrin
