#pragma once

// A panel's StatusNotifierWatcher on a test's private session bus.

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <atomic>

namespace veldrin::test {

inline const QString watcherName = QStringLiteral("org.kde.StatusNotifierWatcher");

// The panel's StatusNotifierWatcher, with a host of its own. It lists an
// item as xfce4-panel's, waybar's and LXQt's do, by its name and path; one
// that `drops` items lists none and says it unregistered them, as GNOME's
// does after its host failed to read an item.
class StandInWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ listed)
public:
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    // Every registration, in order.
    QStringList items() const {
        QMutexLocker lock(&mutex_);
        return items_;
    }
    QStringList listed() const {
        QMutexLocker lock(&mutex_);
        QStringList out;
        for (const QString& item : items_)
            out << item + "/StatusNotifierItem";
        out.removeDuplicates();
        return drops ? QStringList() : out;
    }
    std::atomic<bool> drops = false;
    // The call a silent watcher took and never answered.
    QDBusMessage unanswered() const {
        QMutexLocker lock(&mutex_);
        return unanswered_;
    }
    std::atomic<bool> silent = false;
public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service) {
        QMutexLocker lock(&mutex_);
        if (silent) {
            setDelayedReply(true);
            unanswered_ = message();
            return;
        }
        items_ << service;
        // As GNOME's does when it fails to read the item: a moment later.
        if (drops)
            QTimer::singleShot(200, this, [bus = connection(), service]() mutable {
                bus.send(QDBusMessage::createSignal("/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher",
                                                    "StatusNotifierItemUnregistered")
                         << service + "/StatusNotifierItem");
            });
    }
    void RegisterStatusNotifierHost(const QString&) {}

private:
    mutable QMutex mutex_;
    QStringList items_;
    QDBusMessage unanswered_;
};

} // namespace veldrin::test
