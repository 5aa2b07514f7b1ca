#include "platform/linux/SessionBus.h"

#include <QFile>

#include <sys/stat.h>

namespace veldrin {

std::optional<QDBusConnection> sessionBusIfAny() {
    bool found = !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
    if (!found && !qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        struct stat st {};
        const QByteArray socket = QFile::encodeName(qEnvironmentVariable("XDG_RUNTIME_DIR")) + "/bus";
        found = ::stat(socket.constData(), &st) == 0 && S_ISSOCK(st.st_mode);
    }
    if (!found)
        return std::nullopt;
    return QDBusConnection::sessionBus();
}

} // namespace veldrin
