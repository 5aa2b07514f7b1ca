#include "platform/linux/DBusNotifications.h"

#include "platform/linux/SessionBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QElapsedTimer>
#include <QObject>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace veldrin {

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");

// How long a click may come before the answer that names its notification.
constexpr qint64 earlyClickMs = 1000;

class DBusNotifications : public QObject, public Notifications {
    Q_OBJECT
public:
    DBusNotifications() : bus_(sessionBusIfAny()) {
        if (!bus_ || !bus_->isConnected())
            return;
        bus_->connect(service, path, service, QStringLiteral("ActionInvoked"), this,
                      SLOT(actionInvoked(uint, QString)));
        bus_->connect(service, path, service, QStringLiteral("NotificationClosed"), this,
                      SLOT(closed(uint, uint)));
    }

    void notify(const Notification& notification, std::function<void()> activate) override {
        if (!bus_ || !bus_->isConnected())
            return warn(QStringLiteral("no session bus"));
        if (markup_)
            return send(notification, std::move(activate));
        // Whether the service reads bodies as markup decides whether they are
        // escaped. Asked at the first notification, not at launch, so that a
        // service is started only when one is due.
        waiting_.emplace_back(notification, std::move(activate));
        if (waiting_.size() > 1)
            return;
        watch(
            QDBusMessage::createMethodCall(service, path, service, QStringLiteral("GetCapabilities")),
            [this](const QDBusMessage& reply) {
                markup_ = reply.arguments().value(0).toStringList().contains(QStringLiteral("body-markup"));
                for (auto& [queued, click] : std::exchange(waiting_, {}))
                    send(queued, std::move(click));
            },
            [this] { waiting_.clear(); });
    }

private Q_SLOTS:
    void actionInvoked(uint id, const QString& action) {
        if (action != QLatin1String("default"))
            return;
        const auto it = pending_.find(id);
        if (it == pending_.end()) {
            // The click can overtake the answer that names its notification;
            // while one is awaited, a few are kept briefly for it. Any other
            // is a click on someone else's notification.
            if (notifying_ == 0)
                return;
            QElapsedTimer since;
            since.start();
            early_.push_back({id, since});
            if (early_.size() > 8)
                early_.pop_front();
            return;
        }
        const std::function<void()> activate = it->second;
        pending_.erase(it);
        if (activate)
            activate();
    }
    void closed(uint id, uint) { pending_.erase(id); }

private:
    void send(const Notification& notification, std::function<void()> activate) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
        const QString body = *markup_ ? notification.body.toHtmlEscaped() : notification.body;
        message << QStringLiteral("Veldrin") << uint(0) << QStringLiteral("veldrin") << notification.summary
                << body << QStringList{QStringLiteral("default"), QStringLiteral("Open")} << QVariantMap()
                << int(-1);
        ++notifying_;
        watch(
            message,
            [this, activate = std::move(activate)](const QDBusMessage& reply) {
                const uint id = reply.arguments().value(0).toUInt();
                const auto early = std::find_if(early_.begin(), early_.end(), [id](const EarlyClick& c) {
                    return c.id == id && !c.since.hasExpired(earlyClickMs);
                });
                const bool clicked = id && early != early_.end();
                if (clicked)
                    early_.erase(early);
                answered();
                if (clicked) {
                    if (activate)
                        activate();
                } else if (id) {
                    pending_[id] = activate;
                }
            },
            [this] { answered(); });
    }

    // A Notify call has its answer: early clicks that no awaited answer can claim any more go.
    void answered() {
        --notifying_;
        std::erase_if(early_, [this](const EarlyClick& c) {
            return notifying_ == 0 || c.since.hasExpired(earlyClickMs);
        });
    }

    // Sends `message` without waiting; `done` (or `failed`) gets the reply on the main thread.
    void watch(const QDBusMessage& message, std::function<void(const QDBusMessage&)> done,
               std::function<void()> failed = {}) {
        auto* watcher = new QDBusPendingCallWatcher(bus_->asyncCall(message), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, done, failed](QDBusPendingCallWatcher* call) {
                    call->deleteLater();
                    const QDBusMessage reply = call->reply();
                    if (reply.type() == QDBusMessage::ErrorMessage) {
                        if (failed)
                            failed();
                        return warn(reply.errorMessage());
                    }
                    done(reply);
                });
    }

    void warn(const QString& why) {
        if (warned_)
            return;
        warned_ = true;
        std::fprintf(stderr, "veldrin: no desktop notifications: %s\n", qUtf8Printable(why));
    }

    std::optional<QDBusConnection> bus_;
    std::map<uint, std::function<void()>> pending_;
    struct EarlyClick {
        uint id;
        QElapsedTimer since;
    };
    std::deque<EarlyClick> early_; // clicks on notifications not yet known
    int notifying_ = 0;            // Notify calls not yet answered
    std::optional<bool> markup_;
    std::vector<std::pair<Notification, std::function<void()>>> waiting_; // until markup_ is known
    bool warned_ = false;
};

} // namespace

std::unique_ptr<Notifications> makeDBusNotifications() {
    return std::make_unique<DBusNotifications>();
}

std::unique_ptr<Notifications> makeSystemNotifications() {
    return makeDBusNotifications();
}

} // namespace veldrin

#include "DBusNotifications.moc"
