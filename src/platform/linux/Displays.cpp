#include "platform/Displays.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace veldrin {

namespace {

// A display that takes a connection within this time answers; one that takes
// longer is taken for dead.
constexpr auto connectTimeout = std::chrono::seconds(2);

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Waits for a non-blocking connect to finish; none when it connected.
std::optional<QString> finishConnect(int fd) {
    if (errno == EAGAIN) // a listener with a full backlog is still one
        return std::nullopt;
    if (errno != EINPROGRESS)
        return systemError(errno);
    pollfd waiting{fd, POLLOUT, 0};
    const int ready = poll(&waiting, 1, int(std::chrono::milliseconds(connectTimeout).count()));
    if (ready == 0)
        return QStringLiteral("no answer within %1 seconds").arg(connectTimeout.count());
    int error = 0;
    socklen_t size = sizeof error;
    if (ready < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        return systemError(errno);
    return error == 0 ? std::nullopt : std::optional(systemError(error));
}

// Connects to the Unix socket at `path` ("@..." for an abstract one) and hangs
// up; why that failed, or none.
std::optional<QString> connectUnix(const QByteArray& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path)
        return systemError(ENAMETOOLONG);
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const bool abstract = path.startsWith('@');
    if (abstract)
        address.sun_path[0] = '\0';
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(path.size()) + (abstract ? 0 : 1));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return systemError(errno);
    std::optional<QString> failure;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0)
        failure = finishConnect(fd);
    close(fd);
    return failure;
}

std::optional<QString> connectTcp(const QByteArray& host, int port) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int error = getaddrinfo(host.constData(), QByteArray::number(port).constData(), &hints, &found))
        return QString::fromLocal8Bit(gai_strerror(error));
    std::optional<QString> failure = QStringLiteral("no address");
    for (const addrinfo* a = found; a && failure; a = a->ai_next) {
        const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) {
            failure = systemError(errno);
            continue;
        }
        failure = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0 ? std::nullopt : finishConnect(fd);
        close(fd);
    }
    freeaddrinfo(found);
    return failure;
}

DisplayTry probeWayland(const QString& name) {
    DisplayTry tried{QStringLiteral("wayland"), QStringLiteral("WAYLAND_DISPLAY"), name, std::nullopt};
    const QString said = QStringLiteral("Wayland display ") + name;
    QString path = name; // an absolute name is the socket itself
    if (!name.startsWith(QLatin1Char('/'))) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (runtime.isEmpty()) {
            tried.failure = said + QStringLiteral(" cannot be found: XDG_RUNTIME_DIR is unset");
            return tried;
        }
        path = runtime + QLatin1Char('/') + name;
    }
    if (const std::optional<QString> failure = connectUnix(QFile::encodeName(path)))
        tried.failure =
            said + QStringLiteral(" does not answer at ") + path + QStringLiteral(": ") + *failure;
    return tried;
}

// DISPLAY is [protocol/][host]:number[.screen]: no host (or "unix") is the
// local socket of that number, any other host its TCP port 6000 + number.
DisplayTry probeX(const QString& name) {
    DisplayTry tried{QStringLiteral("xcb"), QStringLiteral("DISPLAY"), name, std::nullopt};
    const QString said = QStringLiteral("X display ") + name;
    const qsizetype colon = name.lastIndexOf(QLatin1Char(':'));
    bool isNumber = false;
    const int number = name.mid(colon + 1).section(QLatin1Char('.'), 0, 0).toInt(&isNumber);
    if (colon < 0 || !isNumber || number < 0) {
        tried.failure =
            QStringLiteral("DISPLAY=") + name + QStringLiteral(" is not of the form [host]:number");
        return tried;
    }
    QString host = name.left(colon);
    std::optional<QString> failure;
    if (host.startsWith(QLatin1Char('/'))) { // a socket's path, with the number or before it
        failure = connectUnix(QFile::encodeName(name));
        if (failure && connectUnix(QFile::encodeName(host)) == std::nullopt)
            failure.reset();
        if (failure)
            failure = QStringLiteral(" does not answer at ") + name + QStringLiteral(": ") + *failure;
    } else {
        QString protocol;
        if (host.contains(QLatin1Char('/'))) {
            protocol = host.section(QLatin1Char('/'), 0, 0);
            host = host.section(QLatin1Char('/'), 1);
        }
        if (host.isEmpty() || host == QLatin1String("unix") || protocol == QLatin1String("unix")) {
            const QString path = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
            // The X server's abstract socket answers even where /tmp is not the server's.
            if (!connectUnix('@' + QFile::encodeName(path)))
                return tried;
            if ((failure = connectUnix(QFile::encodeName(path))))
                failure = QStringLiteral(" does not answer at ") + path + QStringLiteral(": ") + *failure;
        } else {
            if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
                host = host.mid(1, host.size() - 2);
            const int port = 6000 + number;
            if ((failure = connectTcp(host.toUtf8(), port)))
                failure =
                    QStringLiteral(" does not answer at TCP port %1 of %2: ").arg(port).arg(host) + *failure;
        }
    }
    if (failure)
        tried.failure = said + *failure;
    return tried;
}

} // namespace

std::vector<DisplayTry> probeDisplays() {
    std::vector<DisplayTry> tried;
    if (const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY"); !wayland.isEmpty())
        tried.push_back(probeWayland(wayland));
    if (const QString x = qEnvironmentVariable("DISPLAY"); !x.isEmpty())
        tried.push_back(probeX(x));
    return tried;
}

QStringList displayPlatforms() {
    return {QStringLiteral("wayland"), QStringLiteral("xcb")};
}

} // namespace veldrin
