#include "instance/MenuRequests.h"

#include "base/Paths.h"
#include "platform/System.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace veldrin {

namespace {

// A menu opening in the running Veldrin may wait two seconds for the controller.
constexpr int answerWaitMs = 5000;
const QByteArray request = "menu";
const QByteArray shown = "taken\n";

} // namespace

QString menuSocketPath() {
    return homeFolder() + QStringLiteral("/.cache/veldrin/menu.socket");
}

namespace {

// The socket's address; false when the path does not fit one.
bool socketAddress(sockaddr_un* address) {
    const QByteArray path = QFile::encodeName(menuSocketPath());
    *address = {};
    address->sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof address->sun_path))
        return false;
    std::memcpy(address->sun_path, path.constData(), size_t(path.size()));
    return true;
}

QString systemError() {
    return QString::fromLocal8Bit(strerror(errno));
}

// What the other end writes, up to its first line end, within `waitMs`.
QByteArray readLine(int fd, int waitMs) {
    QByteArray line;
    QElapsedTimer waited;
    waited.start();
    while (!line.contains('\n') && line.size() < 4096 && waited.elapsed() < waitMs) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, int(waitMs - waited.elapsed())) <= 0)
            break;
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        line.append(buffer, qsizetype(n));
    }
    return line;
}

// One line from a client that has connected, read within a short wait.
QByteArray readRequest(int client) {
    const QByteArray line = readLine(client, 200);
    return line.left(line.indexOf('\n'));
}

} // namespace

MenuRequests::MenuRequests(std::function<void(const QByteArray&)> open, QObject* parent)
    : QObject(parent), open_(std::move(open)) {
    sockaddr_un address;
    if (!socketAddress(&address)) {
        problem_ =
            QStringLiteral("the path of ") + menuSocketPath() + QStringLiteral(" is too long for a socket");
        return;
    }
    fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd_ >= 0) {
        fcntl(fd_, F_SETFD, FD_CLOEXEC);
        fcntl(fd_, F_SETFL, O_NONBLOCK);
    }
    // The instance lock is held: a socket left there is a dead Veldrin's.
    ::unlink(address.sun_path);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(address.sun_path, 0600) != 0 || listen(fd_, 4) != 0) {
        problem_ = menuSocketPath() + QStringLiteral(": ") + systemError();
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        return;
    }
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &MenuRequests::accept);
}

MenuRequests::~MenuRequests() {
    if (fd_ < 0)
        return;
    delete notifier_; // before its descriptor goes
    ::close(fd_);
    ::unlink(QFile::encodeName(menuSocketPath()).constData());
}

void MenuRequests::accept() {
    const int client = ::accept(fd_, nullptr, nullptr);
    if (client < 0)
        return;
    fcntl(client, F_SETFD, FD_CLOEXEC);
    keepSocketFromSignalling(client);
    // Only this user may ask (the socket is the user's alone; this says so again).
    const bool sameUser = peerIsThisUser(client);
    const QByteArray line = sameUser ? readRequest(client) : QByteArray();
    if (line == request || line.startsWith(request + ' ')) {
        // Answered first: the opening itself may wait for the controller a moment.
        // An asker that has gone must not end Veldrin with SIGPIPE.
        [[maybe_unused]] const ssize_t written = sendWithoutSignal(client, shown);
        // A second request within half a second is a repeat.
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (now - lastOpen_ > 500) {
            lastOpen_ = now;
            QTimer::singleShot(0, this, [this, token = line.mid(request.size()).trimmed()] { open_(token); });
        }
    }
    ::close(client);
}

bool askToOpenMenu(QString* why) {
    sockaddr_un address;
    if (!socketAddress(&address)) {
        *why = QStringLiteral("its socket's path is too long");
        return false;
    }
    // A Veldrin that has only just started may not listen yet: a second's grace.
    int fd = -1;
    for (int attempt = 0; attempt < 10 && fd < 0; ++attempt) {
        if (attempt > 0)
            usleep(100 * 1000);
        fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0)
            break;
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            *why = systemError();
            close(fd);
            fd = -1;
        }
    }
    if (fd < 0)
        return false;
    QByteArray line = request;
    const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN").trimmed();
    if (!token.isEmpty() && !token.contains('\n') && token.size() < 1024)
        line += ' ' + token;
    line += '\n';
    bool answered = sendWithoutSignal(fd, line) == line.size();
    const QByteArray reply = answered ? readLine(fd, answerWaitMs) : QByteArray();
    close(fd);
    if (reply != shown) {
        *why = QStringLiteral("it did not answer");
        return false;
    }
    return true;
}

} // namespace veldrin
