#pragma once

#include "menu/StatusItem.h"
#include "platform/linux/TrayTypes.h"

#include <QDBusConnection>
#include <QObject>
#include <QPoint>

#include <optional>

class QDBusServiceWatcher;

namespace veldrin {

class DBusMenu;

// The status item as an org.kde.StatusNotifierItem with its menu exported
// over com.canonical.dbusmenu, registered with the StatusNotifierWatcher
// whenever one is on the bus: at once, when a panel starts later, and again
// after a panel restarts. The item says it is a menu (ItemIsMenu), so hosts
// open the menu themselves on a click, with no window of ours to place.
class StatusNotifierItem : public QObject {
    Q_OBJECT
public:
    explicit StatusNotifierItem(const QDBusConnection& bus, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    void setMenuDelegate(MenuDelegate* delegate);
    void setIcon(const TrayPixmaps& icon);
    // The first line is the title, the rest the description (escaped: hosts
    // may read it as markup).
    void setToolTip(const QString& text);

    // Whether a watcher holds the item; empty until the bus has answered.
    std::optional<bool> registered() const { return registered_; }

    // What the adaptor reads and calls.
    TrayPixmaps icon() const { return icon_; }
    TrayToolTip toolTip() const;
    QString serviceName() const { return serviceName_; }
    void requestPopup(QPoint at) { Q_EMIT popupRequested(at); }

Q_SIGNALS:
    void registeredChanged(bool registered);
    // A host asked the item itself to act (Activate, ContextMenu) at a point
    // on the screen, in spite of ItemIsMenu.
    void popupRequested(QPoint at);
    void iconChanged();
    void toolTipChanged();

private:
    void watcherAppeared();
    void setRegistered(bool registered);

    QDBusConnection bus_;
    QString serviceName_;
    DBusMenu* menu_;
    QDBusServiceWatcher* watcher_;
    TrayPixmaps icon_;
    QString toolTip_;
    std::optional<bool> registered_;
    // Goes up whenever the watcher's name changes hands: an answer from a
    // watcher that has since gone says nothing about the current one.
    quint64 watcherGeneration_ = 0;
    bool complained_ = false;
};

} // namespace veldrin
