#include "platform/linux/DBusActivities.h"

#include "platform/linux/SessionBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>

#include <cstdio>
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

QDBusMessage call(const std::optional<QDBusConnection>& bus, const QDBusMessage& message) {
    if (!bus)
        return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.NoServer"),
                                        QStringLiteral("no session bus"));
    if (!bus->isConnected())
        return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.NoServer"),
                                        bus->lastError().isValid() ? bus->lastError().message()
                                                                   : QStringLiteral("no bus to ask"));
    return bus->call(message, QDBus::Block, callTimeoutMs);
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
        const QDBusMessage reply = call(sessionBusIfAny(), message);
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
        const QDBusMessage reply = call(QDBusConnection::systemBus(), message);
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

} // namespace veldrin
