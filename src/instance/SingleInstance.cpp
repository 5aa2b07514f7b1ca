#include "instance/SingleInstance.h"

#include "base/Paths.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veldrin {

namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(strerror(error));
}

// Makes `folder` unless it is there; why it cannot be used, or none. A folder
// reached through a symbolic link is as good as any.
std::optional<QString> makeFolder(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    int error = mkdir(path.constData(), 0700) == 0 ? 0 : errno;
    if (error == EEXIST) {
        struct stat st {};
        if (stat(path.constData(), &st) != 0)
            error = errno;
        else
            error = S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    }
    if (error == 0)
        return std::nullopt;
    return QStringLiteral("cannot use the cache folder ") + folder + QStringLiteral(": ") +
           systemError(error);
}

} // namespace

InstanceLock::~InstanceLock() {
    if (fd_ >= 0)
        close(fd_);
}

InstanceLock::Outcome InstanceLock::acquire(QString* problem) {
    const QString folder = homeFolder() + QStringLiteral("/.cache/veldrin");
    const QString path = folder + QStringLiteral("/instance.lock");
    for (const QString& each : {homeFolder() + QStringLiteral("/.cache"), folder}) {
        if (const std::optional<QString> unusable = makeFolder(each)) {
            *problem = *unusable;
            return Outcome::unusable;
        }
    }
    // Never through a symbolic link: it could point anywhere outside the home folder.
    fd_ = open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        *problem = QStringLiteral("cannot open ") + path + QStringLiteral(": ") + systemError(errno);
        return Outcome::unusable;
    }
    if (flock(fd_, LOCK_EX | LOCK_NB) == 0)
        return Outcome::acquired;
    if (errno == EWOULDBLOCK)
        return Outcome::heldByAnother;
    *problem = QStringLiteral("cannot lock ") + path + QStringLiteral(": ") + systemError(errno);
    return Outcome::unusable;
}

} // namespace veldrin
