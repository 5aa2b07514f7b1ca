#include "platform/DesktopServices.h"

#include "platform/linux/SessionBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QStringList>
#include <QSystemTrayIcon>

namespace veldrin {

namespace {

// "a, b and c"
QString listed(const QStringList& items) {
    if (items.size() < 2)
        return items.join(QString());
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + items.last();
}

// A desktop service that takes longer than this has not answered; the check
// goes on without it.
constexpr int callTimeoutMs = 2000;

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString notificationsService = QStringLiteral("org.freedesktop.Notifications");

// A service's answer, or why there is none.
struct Answer {
    QList<QVariant> values;
    std::optional<QString> failure;
    bool absent = false; // no such service on that bus
    bool noBus = false;  // no bus to ask: `failure` says why, if anything does
};

Answer ask(const std::optional<QDBusConnection>& bus, const QString& service, const QString& path,
           const QString& interface, const QString& method, const QList<QVariant>& arguments = {}) {
    if (!bus || !bus->isConnected())
        return {{}, bus ? bus->lastError().message() : QString(), true, true};
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = bus->call(message, QDBus::Block, callTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return {reply.arguments(), std::nullopt, false};
    const QString error = reply.errorName();
    if (error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return {{}, QStringLiteral("not there"), true};
    if (error == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        error == QLatin1String("org.freedesktop.DBus.Error.Timeout"))
        return {{}, QStringLiteral("did not answer within %1 seconds").arg(callTimeoutMs / 1000), false};
    return {{}, reply.errorMessage(), false};
}

// Qt's D-Bus thread passes an error answer on to its listeners after the
// caller already has it. One more answered call, to the bus itself, lets it
// finish before the program exits; finishing during the exit, after Qt's
// types are gone, it would warn on standard error.
void settle(const std::optional<QDBusConnection>& bus) {
    if (bus && bus->isConnected())
        ask(bus, QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId"));
}

// Whether `service` answers on `bus` at all (every connection answers Ping).
Answer ping(const std::optional<QDBusConnection>& bus, const QString& service) {
    return ask(bus, service, QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.Peer"),
               QStringLiteral("Ping"));
}

// The line of an optional service: present, or what is lost without it.
void sayOptional(const std::function<void(const QString&)>& say, const QString& label, const QString& service,
                 const QString& busName, const Answer& answer, const QString& lost) {
    if (!answer.failure)
        say(label + QStringLiteral(": ") + service + QStringLiteral(" (present)"));
    else if (answer.noBus)
        say(label + QStringLiteral(": none — no ") + busName +
            (answer.failure->isEmpty() ? QString()
                                       : QStringLiteral(" (") + *answer.failure + QLatin1Char(')')) +
            QStringLiteral("; ") + lost);
    else if (answer.absent)
        say(label + QStringLiteral(": none — no ") + service + QStringLiteral(" on the ") + busName +
            QStringLiteral("; ") + lost);
    else
        say(label + QStringLiteral(": ") + service + QStringLiteral(" — ") + *answer.failure +
            QStringLiteral("; ") + lost);
}

bool checkTray(const std::function<void(const QString&)>& say, const std::optional<QDBusConnection>& bus) {
    const Answer host = ask(bus, watcherService, QStringLiteral("/StatusNotifierWatcher"),
                            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                            {watcherService, QStringLiteral("IsStatusNotifierHostRegistered")});
    if (!host.failure) {
        const bool hosted = qvariant_cast<QDBusVariant>(host.values.value(0)).variant().toBool();
        say(QStringLiteral("tray: ") + watcherService +
            (hosted ? QStringLiteral(" with a host (the icon shows as a StatusNotifierItem)")
                    : QStringLiteral(" — no host has registered with it, so no panel shows the icon")));
        return hosted;
    }
    QStringList missing;
    if (host.noBus)
        missing << QStringLiteral("no session bus to find a StatusNotifierWatcher on");
    else if (host.absent)
        missing << QStringLiteral("no StatusNotifierWatcher on the session bus");
    else
        missing << watcherService + QLatin1Char(' ') + *host.failure;
    const QString platform = QGuiApplication::platformName();
    // Qt's XEmbed check asks the watcher again, without a bound: not when it hangs.
    if (platform == QLatin1String("xcb") && host.absent) {
        // Qt asks the session bus first, and where there is none libdbus
        // would autolaunch one (dbus-launch) that outlives the check.
        if (!bus)
            qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
        const QString display = qEnvironmentVariable("DISPLAY");
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            const int screen = display.section(QLatin1Char(':'), -1).section(QLatin1Char('.'), 1, 1).toInt();
            say(QStringLiteral("tray: XEmbed system tray on X display %1 (the owner of _NET_SYSTEM_TRAY_S%2)")
                    .arg(display)
                    .arg(screen));
            return true;
        }
        missing << QStringLiteral("no XEmbed system tray on X display ") + display;
    } else if (platform.startsWith(QLatin1String("wayland"))) {
        missing << QStringLiteral("Wayland has no XEmbed tray");
    }
    say(QStringLiteral("tray: none — ") + listed(missing) +
        QStringLiteral("; on GNOME, install and enable the AppIndicator extension "
                       "(Debian package gnome-shell-extension-appindicator)"));
    return false;
}

void checkNotifications(const std::function<void(const QString&)>& say,
                        const std::optional<QDBusConnection>& bus) {
    const QString path = QStringLiteral("/org/freedesktop/Notifications");
    const Answer server =
        ask(bus, notificationsService, path, notificationsService, QStringLiteral("GetServerInformation"));
    const QString lost = QStringLiteral("a run that ends while its window is not in front is not announced");
    if (server.failure || server.values.size() < 3) {
        sayOptional(say, QStringLiteral("notifications"), notificationsService, QStringLiteral("session bus"),
                    server.failure ? server : Answer{{}, QStringLiteral("gave no server information")}, lost);
        return;
    }
    const Answer capabilities =
        ask(bus, notificationsService, path, notificationsService, QStringLiteral("GetCapabilities"));
    say(QStringLiteral("notifications: %1 %2 (%3), ")
            .arg(server.values[0].toString(), server.values[2].toString(), server.values[1].toString()) +
        (capabilities.failure
             ? QStringLiteral("its capabilities unknown: ") + *capabilities.failure
             : QStringLiteral("capabilities: ") + capabilities.values.value(0).toStringList().join(", ")));
}

void checkSessionBus(const std::function<void(const QString&)>& say,
                     const std::optional<QDBusConnection>& bus) {
    if (!bus) {
        say(QStringLiteral("session bus: none — DBUS_SESSION_BUS_ADDRESS is unset and there is no "
                           "$XDG_RUNTIME_DIR/bus; Veldrin starts no bus of its own"));
        return;
    }
    const QString address = qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")
                                ? qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/bus")
                                : qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    say(QStringLiteral("session bus: ") + address +
        (bus->isConnected() ? QString()
                            : QStringLiteral(" — cannot connect: ") + bus->lastError().message()));
}

} // namespace

std::optional<QString> checkDesktopServices(const std::function<void(const QString&)>& say) {
    std::optional<QString> missing;
    const std::optional<QDBusConnection> bus = sessionBusIfAny();
    if (!checkTray(say, bus))
        missing = QStringLiteral("a tray");
    checkNotifications(say, bus);
    sayOptional(say, QStringLiteral("screen saver inhibitor"), QStringLiteral("org.freedesktop.ScreenSaver"),
                QStringLiteral("session bus"), ping(bus, QStringLiteral("org.freedesktop.ScreenSaver")),
                QStringLiteral("Prevent Idle Screen Lock cannot keep the display awake"));
    const QDBusConnection system = QDBusConnection::systemBus();
    sayOptional(say, QStringLiteral("sleep inhibitor"), QStringLiteral("org.freedesktop.login1"),
                QStringLiteral("system bus"), ping(system, QStringLiteral("org.freedesktop.login1")),
                QStringLiteral("Keep Mac Running with Lid Closed holds no idle-sleep inhibitor"));
    checkSessionBus(say, bus);
    for (const std::optional<QDBusConnection>& each : {bus, std::optional(system)})
        settle(each);
    return missing;
}

} // namespace veldrin
