#pragma once

#include "platform/Platform.h"

#include <QObject>

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
    void setIndicator(const QColor& tint) override;
    void setMenu(std::unique_ptr<QMenu> menu) override;
    QMenu* menu() const override { return menu_.get(); }

private:
    void showWhenTrayAvailable();

    std::unique_ptr<QMenu> menu_;
    QSystemTrayIcon* tray_ = nullptr;
    QTimer* trayWatch_ = nullptr;
    QColor tint_;
};

class QtStatusBar : public StatusBar {
public:
    std::unique_ptr<StatusItem> createStatusItem() override;
};

} // namespace veldrin
