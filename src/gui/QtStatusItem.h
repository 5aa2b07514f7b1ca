#pragma once

#include "menu/StatusItem.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class QMenu;
class QPoint;
class QSystemTrayIcon;
class QTimer;
class QWidget;

namespace veldrin {

class DesktopTray;

// The status item: one long-lived menu, Qt's tray icon where it is wanted,
// and what the desktop adds to it (platform/DesktopTray.h). On Linux that is
// a StatusNotifierItem whose menu the panel draws, registered whenever a
// StatusNotifierWatcher is on the session bus; on X11 without one, Qt's tray
// icon docks into an XEmbed tray instead, as soon as one turns up. On macOS
// it is Qt's status item. Without any tray host the application runs on and
// the icon appears once one is there.
class QtStatusItem : public QObject, public StatusItem {
    Q_OBJECT
public:
    QtStatusItem();
    ~QtStatusItem() override;

    bool hasButton() const override { return true; }
    void setToolTip(const QString& text) override;
    void setIndicator(SyncState state) override;
    void setMenuDelegate(MenuDelegate* delegate) override;
    void menuChanged() override;
    // Where a menu can pop up by itself (X11, macOS) it opens at the pointer;
    // on Wayland, which gives no place to a menu without a click, the menu
    // comes in a small window of its own.
    void openMenu() override;
    std::optional<bool> shown() const override;
    bool trayPresent() const override;

private:
    void useQtTray(bool use);
    void showWhenTrayAvailable();
    void popup(const QPoint& at);

    std::unique_ptr<QMenu> menu_;
    MenuDelegate* delegate_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QTimer* trayWatch_ = nullptr;
    DesktopTray* desktop_ = nullptr;
    QPointer<QWidget> menuWindow_;
    QString toolTip_;
    std::optional<SyncState> indicatorState_;
};

class QtStatusBar : public StatusBar {
public:
    std::unique_ptr<StatusItem> createStatusItem() override;
};

} // namespace veldrin
