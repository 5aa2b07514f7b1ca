#include "platform/linux/SessionBus.h"

#include "platform/DesktopServices.h"

#include <QFile>

#include <dbus/dbus.h>
#include <sys/stat.h>

namespace veldrin {

std::optional<QByteArray> sessionBusAddress() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return std::nullopt;
    struct stat st {};
    const QByteArray socket = QFile::encodeName(qEnvironmentVariable("XDG_RUNTIME_DIR")) + "/bus";
    if (::stat(socket.constData(), &st) != 0 || !S_ISSOCK(st.st_mode))
        return std::nullopt;
    char* escaped = dbus_address_escape_value(socket.constData());
    const QByteArray address = QByteArray("unix:path=") + escaped;
    dbus_free(escaped);
    return address;
}

void keepQtFromAutolaunchingABus() {
    if (sessionBusAddress())
        return;
    // Qt keeps the connection it made first, failed or not.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    QDBusConnection::sessionBus();
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

std::optional<QDBusConnection> sessionBusIfAny() {
    if (!sessionBusAddress())
        return std::nullopt;
    return QDBusConnection::sessionBus();
}

} // namespace veldrin
