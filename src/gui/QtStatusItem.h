#pragma once

#include "menu/StatusItem.h"

#include <QObject>

#include <memory>
#include <optional>

class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace veldrin {

// The status item as a system tray icon. Without a tray host the application
// runs on; the icon appears as soon as a host turns up.
class QtStatusItem : public QObject, public StatusItem {
    Q_OBJECT
public:
    QtStatusItem();
    ~QtStatusItem() override;

    bool hasButton() const override { return true; }
    void setToolTip(const QString& text) override;
    void setIndicator(SyncState state) override;
    void setMenuDelegate(MenuDelegate* delegate) override;

private:
    void showWhenTrayAvailable();

    std::unique_ptr<QMenu> menu_;
    MenuDelegate* delegate_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QTimer* trayWatch_ = nullptr;
    std::optional<SyncState> shown_;
};

class QtStatusBar : public StatusBar {
public:
    std::unique_ptr<StatusItem> createStatusItem() override;
};

} // namespace veldrin
