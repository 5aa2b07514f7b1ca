#include "platform/linux/DBusActivities.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>

#include <cstdio>
#include <map>
#include <optional>

namespace veldrin {

namespace {

constexpr std::uint64_t idleDisplay = std::uint64_t(1) << 40;
constexpr std::uint64_t idleSystem = std::uint64_t(1) << 20;
// The menu bar waits for these calls; a desktop that does not answer by then has refused.
constexpr int callTimeoutMs = 2000;

const QString screenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString screenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");

void warn(const QString& what, const QString& why) {
    std::fprintf(stderr, "veldrin: %s: %s\n", qUtf8Printable(what), qUtf8Printable(why));
}

QDBusMessage call(const QDBusConnection& bus, const QDBusMessage& message) {
    if (!bus.isConnected())
        return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.NoServer"),
                                        bus.lastError().isValid() ? bus.lastError().message()
                                                                  : QStringLiteral("no bus to ask"));
    return bus.call(message, QDBus::Block, callTimeoutMs);
}

class DBusActivities : public Activities {
public:
    ActivityToken begin(std::uint64_t options, const QString& reason) override {
        Held held;
        if (options & idleDisplay)
            held.screenSaverCookie = inhibitScreenSaver(reason);
        if (options & idleSystem)
            held.sleepLock = inhibitIdleSleep(reason);
        const ActivityToken token{++next_};
        held_[token.id] = std::move(held);
        return token;
    }

    void end(ActivityToken token) override {
        const auto it = held_.find(token.id);
        if (it == held_.end())
            return;
        if (it->second.screenSaverCookie) {
            QDBusMessage message = QDBusMessage::createMethodCall(
                screenSaverService, screenSaverPath, screenSaverService, QStringLiteral("UnInhibit"));
            message << *it->second.screenSaverCookie;
            const QDBusMessage reply = call(QDBusConnection::sessionBus(), message);
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

    static std::optional<uint> inhibitScreenSaver(const QString& reason) {
        QDBusMessage message = QDBusMessage::createMethodCall(screenSaverService, screenSaverPath,
                                                              screenSaverService, QStringLiteral("Inhibit"));
        message << QStringLiteral("Veldrin") << reason;
        const QDBusMessage reply = call(QDBusConnection::sessionBus(), message);
        if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 1 &&
            reply.arguments().first().canConvert<uint>())
            return reply.arguments().first().toUInt();
        warn(QStringLiteral("the desktop did not agree to keep the display awake"),
             reply.type() == QDBusMessage::ErrorMessage ? reply.errorMessage()
                                                        : QStringLiteral("unexpected answer"));
        return std::nullopt;
    }

    static QDBusUnixFileDescriptor inhibitIdleSleep(const QString& reason) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
        message << QStringLiteral("idle") << QStringLiteral("Veldrin") << reason << QStringLiteral("block");
        const QDBusMessage reply = call(QDBusConnection::systemBus(), message);
        if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 1) {
            const auto descriptor = qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().first());
            if (descriptor.isValid())
                return descriptor;
        }
        warn(QStringLiteral("the system did not agree to stay awake"),
             reply.type() == QDBusMessage::ErrorMessage ? reply.errorMessage()
                                                        : QStringLiteral("unexpected answer"));
        return {};
    }

    std::map<std::uint64_t, Held> held_;
    std::uint64_t next_ = 0;
};

} // namespace

std::unique_ptr<Activities> makeDBusActivities() {
    return std::make_unique<DBusActivities>();
}

} // namespace veldrin
