#pragma once

#include "menu/StatusItem.h"
#include "platform/linux/ItemService.h"
#include "platform/linux/TrayState.h"

#include <QByteArray>
#include <QObject>
#include <QPoint>
#include <QThread>

#include <optional>

namespace veldrin {

class BusConnection;
class DBusMenu;
class MenuExport;

// The status item on Linux: an org.kde.StatusNotifierItem whose menu the
// panel draws from com.canonical.dbusmenu (ItemIsMenu), so that no window of
// ours has to be placed. Hosts that activate the item all the same are told
// it cannot be activated, which makes them open the menu instead; a host
// that then does not, gets Veldrin's own (popupRequested).
//
// The item's bus connection is a libdbus one of its own (BusConnection.h) in
// a thread of its own: whatever a client sends, and however much, it is read,
// checked and answered there, from the menu, icon and tooltip this object
// publishes, and the main thread only hears of an opening or a click. The
// menu itself is built on the main thread (DBusMenu), as the status menu is.
class StatusNotifierItem : public QObject {
    Q_OBJECT
public:
    // `busAddress` empty, or a bus that cannot be reached: no item, and
    // registered() false. `iconThemePath` is the folder where hosts look up
    // an icon by name; it stays the same for the item's life, since GNOME's
    // host would only see a change announced with PropertiesChanged.
    explicit StatusNotifierItem(const QByteArray& busAddress, const QString& iconThemePath = {},
                                QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    void setMenuDelegate(MenuDelegate* delegate);
    // The menu's fields may have changed; hosts are told what did.
    void menuChanged();
    // The icon as pictures, and by name when `iconName` is not empty: hosts
    // that find the name draw it instead, recoloured to suit the panel where
    // they can; the others draw the pictures.
    void setIcon(const TrayPixmaps& icon, const QString& iconName = {});
    // The first line is the title, the rest the description.
    void setToolTip(const QString& text);

    // Whether a watcher holds the item; empty until the bus has answered.
    std::optional<bool> registered() const { return registered_; }
    // Whether a host has been seen to take it (listed by the watcher or read).
    bool confirmed() const { return confirmed_; }
    // Whether a watcher with a host holds the item; empty until known.
    std::optional<bool> hostHolds() const { return hostHolds_; }
    // Whether a watcher with a host is there, holding the item or not; empty until known.
    std::optional<bool> hostPresent() const { return hostPresent_; }
    QString serviceName() const { return serviceName_; }
    TrayToolTip toolTip() const { return state_.icon().toolTip; }

    static constexpr std::chrono::milliseconds hostMenuWait = ItemService::hostMenuWait;

Q_SIGNALS:
    void registeredChanged(bool registered);
    // A host asked for Veldrin's own menu at a point on the screen.
    void popupRequested(QPoint at);
    // A host activated the item and can show no menu (see ItemService).
    void menuUnreachable(QPoint at);

private:
    // Runs `work` in the bus thread and waits for it.
    void inBusThread(const std::function<void()>& work);

    TrayState state_;
    DBusMenu* menu_;
    QString serviceName_;
    QString text_;
    QThread thread_;
    QObject* anchor_ = nullptr; // lives in the bus thread
    BusConnection* bus_ = nullptr;
    MenuExport* export_ = nullptr;
    ItemService* service_ = nullptr;
    std::optional<bool> registered_;
    std::optional<bool> hostHolds_;
    std::optional<bool> hostPresent_;
    bool confirmed_ = false;
};

} // namespace veldrin
