#pragma once

#include "menu/StatusItem.h"
#include "platform/linux/TrayTypes.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPoint>

#include <chrono>
#include <memory>
#include <optional>

class QTimer;
struct DBusMessage;

namespace veldrin {

class BusConnection;
class DBusMenu;

// The status item as an org.kde.StatusNotifierItem with its menu exported
// over com.canonical.dbusmenu, on a bus connection of its own (see
// BusConnection.h), registered with the StatusNotifierWatcher whenever one
// is on the bus: at once, when a panel starts later, and again after a panel
// restarts. The item says it is a menu (ItemIsMenu), so hosts open the menu
// themselves on a click, with no window of ours to place; hosts that
// activate it all the same are told it cannot be activated, which is what
// makes them open the menu instead.
//
// A watcher that accepts the item does not always show it (a host that
// failed to read it drops it again), so a registration is confirmed: the
// item must be listed in RegisteredStatusNotifierItems a moment later (or,
// where the list cannot be read, the host must have read the item).
// Otherwise it registers again, after 2 s, then twice as long each time up
// to a minute, and says so once on standard error.
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
    std::optional<bool> hostHolds() const;
    QString serviceName() const { return serviceName_; }
    TrayToolTip toolTip() const;
    DBusMenu& menu() { return *menu_; }

    // How long after a registration the watcher's list is looked at, and the
    // longest wait between two registrations.
    static constexpr std::chrono::milliseconds confirmAfter{2000};
    static constexpr std::chrono::milliseconds longestRetry{60000};
    // How long a host that activated the item has to open its menu before
    // Veldrin opens its own.
    static constexpr std::chrono::milliseconds hostMenuWait{400};
    // How long after the panel's colours change a named icon is announced
    // anew: a host that draws it at once still has the old colours.
    static constexpr std::chrono::milliseconds recolourAfter{1000};

Q_SIGNALS:
    void registeredChanged(bool registered);
    // A host asked the item for its context menu at a point on the screen, or
    // activated it without opening the menu itself, in spite of ItemIsMenu.
    void popupRequested(QPoint at);

private:
    void handle(DBusMessage* call);
    void activated(const QString& host, QPoint at);
    void busSignal(DBusMessage* signal);
    void announceRecoloured();
    void emitSignal(const char* name);
    void watcherAppeared();
    void registerWithWatcher();
    void setRegistered(bool registered);
    void confirm(quint64 generation);
    void registerAgainLater(quint64 generation, const QString& why);
    bool listsThisItem(const QStringList& items) const;

    std::unique_ptr<BusConnection> bus_;
    QString serviceName_;
    DBusMenu* menu_;
    TrayPixmaps icon_;
    QString iconName_;
    QString iconThemePath_;
    QString toolTip_;
    std::optional<bool> registered_;
    std::optional<bool> hostRegistered_;
    // Goes up whenever the watcher's name changes hands: an answer from a
    // watcher that has since gone says nothing about the current one.
    quint64 watcherGeneration_ = 0;
    bool complained_ = false;
    bool confirmed_ = false;
    bool readSinceRegistering_ = false;
    bool saidNotShown_ = false;
    std::chrono::milliseconds retryAfter_ = confirmAfter;
    QTimer* retry_;
    QTimer* recolour_;
    // When each host last opened the menu, and whether an activation waits
    // to see if its host does.
    QHash<QString, std::chrono::steady_clock::time_point> openedBy_;
    bool activationPending_ = false;
};

} // namespace veldrin
