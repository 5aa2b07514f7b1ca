#include "platform/linux/DBusActivities.h"

#include "platform/linux/SessionBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>
#include <QThread>

#include <cstdio>
#include <functional>
#include <map>
#include <optional>

namespace veldrin {

namespace {

// The menu bar waits for these calls; a desktop that does not answer by then has refused.
constexpr int callTimeoutMs = 2000;

const QString screenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString screenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");

void warn(const QString& what, const QString& why) {
    std::fprintf(stderr, "veldrin: %s: %s\n", qUtf8Printable(what), qUtf8Printable(why));
}

// Sends `message` and waits up to callTimeoutMs for the answer. An answer that
// comes after that has still been granted by the service: `late` gets it (on
// the main thread) to hand back what it holds.
QDBusMessage call(const std::optional<QDBusConnection>& bus, const QDBusMessage& message,
                  const std::function<void(const QDBusMessage&)>& late = {}) {
    if (!bus)
        return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.NoServer"),
                                        QStringLiteral("no session bus"));
    if (!bus->isConnected())
        return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.NoServer"),
                                        bus->lastError().isValid() ? bus->lastError().message()
                                                                   : QStringLiteral("no bus to ask"));
    // The bus's own thread takes the answer in, so the main thread only has to look.
    const QDBusPendingCall pending = bus->asyncCall(message);
    const QDeadlineTimer deadline(callTimeoutMs);
    while (!pending.isFinished() && !deadline.hasExpired())
        QThread::msleep(1);
    if (pending.isFinished())
        return pending.reply();
    if (late) {
        auto* watcher = new QDBusPendingCallWatcher(pending);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                         [late](QDBusPendingCallWatcher* answered) {
                             answered->deleteLater();
                             if (answered->reply().type() == QDBusMessage::ReplyMessage)
                                 late(answered->reply());
                         });
    }
    return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
                                    QStringLiteral("no answer within %1 s").arg(callTimeoutMs / 1000));
}

QString refusal(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ErrorMessage ? reply.errorMessage()
                                                      : QStringLiteral("unexpected answer");
}

class DBusActivities : public Activities {
public:
    ActivityGrant begin(ActivityOption option, const QString& reason) override {
        Held held;
        std::optional<QString> refused;
        if (option == ActivityOption::idleDisplaySleepDisabled)
            refused = inhibitScreenSaver(reason, held);
        else
            refused = inhibitIdleSleep(reason, held);
        const ActivityToken token{++next_};
        held_[token.id] = std::move(held);
        return {token, refused};
    }

    void end(ActivityToken token) override {
        const auto it = held_.find(token.id);
        if (it == held_.end())
            return;
        if (it->second.screenSaverCookie) {
            QDBusMessage message = QDBusMessage::createMethodCall(
                screenSaverService, screenSaverPath, screenSaverService, QStringLiteral("UnInhibit"));
            message << *it->second.screenSaverCookie;
            const QDBusMessage reply = call(sessionBusIfAny(), message);
            if (reply.type() == QDBusMessage::ErrorMessage)
                warn(QStringLiteral("could not end keeping the display awake"), reply.errorMessage());
        }
        held_.erase(it); // closing the login1 descriptor ends that inhibitor
    }

private:
    struct Held {
        std::optional<uint> screenSaverCookie;
        QDBusUnixFileDescriptor sleepLock;
    };

    static std::optional<QString> inhibitScreenSaver(const QString& reason, Held& held) {
        QDBusMessage message = QDBusMessage::createMethodCall(screenSaverService, screenSaverPath,
                                                              screenSaverService, QStringLiteral("Inhibit"));
        message << QStringLiteral("Veldrin") << reason;
        const std::optional<QDBusConnection> bus = sessionBusIfAny();
        const QDBusMessage reply = call(bus, message, [bus](const QDBusMessage& late) {
            // Granted after we gave up on it: nobody will end it but us.
            if (late.arguments().size() != 1)
                return;
            QDBusMessage release = QDBusMessage::createMethodCall(
                screenSaverService, screenSaverPath, screenSaverService, QStringLiteral("UnInhibit"));
            release << late.arguments().first().toUInt();
            bus->asyncCall(release);
        });
        if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 1 &&
            reply.arguments().first().canConvert<uint>()) {
            held.screenSaverCookie = reply.arguments().first().toUInt();
            return std::nullopt;
        }
        warn(QStringLiteral("the desktop did not agree to keep the display awake"), refusal(reply));
        return refusal(reply);
    }

    static std::optional<QString> inhibitIdleSleep(const QString& reason, Held& held) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
        message << QStringLiteral("idle") << QStringLiteral("Veldrin") << reason << QStringLiteral("block");
        // A late descriptor is closed with its answer, which ends that inhibitor.
        const QDBusMessage reply = call(QDBusConnection::systemBus(), message, [](const QDBusMessage&) {});
        if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 1) {
            held.sleepLock = qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().first());
            if (held.sleepLock.isValid())
                return std::nullopt;
        }
        warn(QStringLiteral("the system did not agree to stay awake"), refusal(reply));
        return refusal(reply);
    }

    std::map<std::uint64_t, Held> held_;
    std::uint64_t next_ = 0;
};

} // namespace

std::unique_ptr<Activities> makeDBusActivities() {
    return std::make_unique<DBusActivities>();
}

std::unique_ptr<Activities> makeSystemActivities() {
    return makeDBusActivities();
}

} // namespace veldrin
