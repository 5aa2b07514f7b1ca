#pragma once

#include "platform/linux/BusConnection.h"
#include "platform/linux/TrayState.h"

#include <QHash>
#include <QPoint>
#include <QSet>

#include <chrono>
#include <optional>

class QTimer;

namespace veldrin {

// The status item as an org.kde.StatusNotifierItem on the tray's bus
// connection, in its bus thread, answering from the icon and tooltip the
// main thread publishes; and its registration with the StatusNotifierWatcher
// whenever one is on the bus: at once, when a panel starts later, and again
// after a panel restarts.
//
// A watcher that accepts the item does not always show it (a host that
// failed to read it drops it again), so a registration is confirmed: the
// item must be listed in RegisteredStatusNotifierItems a moment later (or,
// where the list cannot be read, the host must have read the item).
// Otherwise it registers again, after 2 s, then twice as long each time up
// to a minute, and says so once on standard error.
class ItemService : public QObject {
    Q_OBJECT
public:
    ItemService(BusConnection& bus, TrayState& state, const QString& serviceName, QObject* parent = nullptr);

    static constexpr std::chrono::milliseconds confirmAfter{2000};
    static constexpr std::chrono::milliseconds longestRetry{60000};
    // How long a host that activated the item has to open its menu before
    // Veldrin opens its own.
    static constexpr std::chrono::milliseconds hostMenuWait{400};
    // How long after the panel's colours change a named icon is announced
    // anew: a host that draws it at once still has the old colours.
    static constexpr std::chrono::milliseconds recolourAfter{1000};

public Q_SLOTS:
    // Registers the item with the watcher there is, and with every one that
    // comes later.
    void start();
    void iconChanged();
    void toolTipChanged();
    // A host (by its bus name) is opening the menu.
    void hostOpened(const QString& host);
    // A host (by its bus name) has read the menu.
    void hostReadMenu(const QString& host);

Q_SIGNALS:
    // Each of: whether a watcher holds the item, whether a watcher with a
    // host does, whether a watcher with a host is there at all (1, 0, or -1
    // while not known), and whether a host was seen to take the item.
    void stateChanged(int registered, int hostHolds, int hostPresent, bool confirmed);
    // A host asked the item for its context menu at a point on the screen, or
    // activated it without opening the menu itself, in spite of ItemIsMenu.
    void popupRequested(QPoint at);
    // A host activated the item without ever having read its menu, and
    // opened none: it cannot show the menu (GNOME's, when it failed to read
    // the item), so Veldrin shows its own wherever the platform allows.
    void menuUnreachable(QPoint at);

private:
    void handle(DBusMessage* call);
    void activated(const QString& host, QPoint at);
    // Reads the watcher's properties: whether a host is there, then `then`.
    void readWatcher(quint64 generation, const std::function<void(const QVariantMap&)>& then);
    void busSignal(DBusMessage* signal);
    void announceRecoloured();
    void emitSignal(const char* name);
    void watcherAppeared();
    void registerWithWatcher();
    void setRegistered(bool registered);
    void reportState();
    void confirm(quint64 generation);
    void registerAgainLater(quint64 generation, const QString& why);
    bool listsThisItem(const QStringList& items) const;

    static constexpr const char* watcherService = "org.kde.StatusNotifierWatcher";
    static constexpr const char* watcherPath = "/StatusNotifierWatcher";
    static constexpr int callTimeoutMs = 10000;

    BusConnection& bus_;
    TrayState& state_;
    QString serviceName_;
    std::optional<bool> registered_;
    std::optional<bool> hostRegistered_;
    // Goes up whenever the watcher's name changes hands: an answer from a
    // watcher that has since gone says nothing about the current one.
    quint64 watcherGeneration_ = 0;
    bool started_ = false;
    bool complained_ = false;
    bool confirmed_ = false;
    bool readSinceRegistering_ = false;
    bool dropped_ = false; // since the last confirmed registration
    bool saidNotShown_ = false;
    std::chrono::milliseconds retryAfter_ = confirmAfter;
    QTimer* retry_;
    QTimer* recolour_;
    // When each host last opened the menu, and whether an activation waits
    // to see if its host does.
    QHash<QString, std::chrono::steady_clock::time_point> openedBy_;
    bool activationPending_ = false;
    QSet<QString> menuReaders_; // hosts that have read the menu
};

} // namespace veldrin
