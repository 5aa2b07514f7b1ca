#pragma once

// What the desktop adds to Qt's tray icon for the status item. On Linux
// (platform/linux/DesktopTray.cpp) a StatusNotifierItem on the session bus,
// whose menu the panel draws, while Qt's icon stands in on X11 without a
// watcher; on macOS (platform/macos/DesktopTray.cpp) Qt's status item in the
// menu bar is all there is. The build picks one.

#include "menu/StatusItem.h"

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>
#include <optional>

namespace veldrin {

// The icon theme the status item can be found by in panels that look icons
// up by name: `write` lays the theme out in a folder, or says why it could not.
struct TrayIconTheme {
    QString iconName;
    std::function<std::optional<QString>(const QString& folder)> write;
};

class DesktopTray : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Whether Qt's own tray icon is wanted from the start; later changes come
    // as qtTrayWanted().
    virtual bool wantsQtTray() const = 0;
    // Whether a click on Qt's tray icon should open the menu: tray hosts send
    // a plain click as "activated", the menu bar opens the menu by itself.
    virtual bool clickOpensMenu() const = 0;
    virtual void setToolTip(const QString& text) = 0;
    // The icon at the sizes panels ask for, `picture` drawing one; `themed`
    // for the neutral icon, which follows the panel where the theme is known.
    virtual void setIcon(const std::function<QImage(int size)>& picture, bool themed) = 0;
    virtual void setMenuDelegate(MenuDelegate* delegate) = 0;
    virtual void menuChanged() = 0;
    // Whether a host for status items is known to be there.
    virtual bool hostPresent() const = 0;
    // Whether a host holds the item: true, false, or not known yet.
    virtual std::optional<bool> hostHolds() const = 0;

Q_SIGNALS:
    void qtTrayWanted(bool wanted);
    // A host asked for the menu at a point of the screen (none: the pointer).
    void popupRequested(const QPoint& at);
    // The menu should open where the user can use it (on Wayland, a window
    // of its own): a click reached Veldrin, and the panel shows no menu.
    void menuWanted();
};

// Owned by `parent`.
DesktopTray* makeDesktopTray(const TrayIconTheme& theme, QObject* parent);

} // namespace veldrin
