#include "app/SingleInstance.h"

#include "base/Paths.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace veldrin {

InstanceLock::~InstanceLock() {
    if (fd_ >= 0)
        close(fd_);
}

InstanceLock::Outcome InstanceLock::acquire(QString* problem) {
    const QString folder = homeFolder() + QStringLiteral("/.cache/veldrin");
    const QString path = folder + QStringLiteral("/instance.lock");
    QDir().mkpath(folder);
    // Never through a symbolic link: it could point anywhere outside the home folder.
    fd_ = open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        *problem = QStringLiteral("cannot open ") + path + QStringLiteral(": ") +
                   QString::fromLocal8Bit(strerror(errno));
        return Outcome::unusable;
    }
    if (flock(fd_, LOCK_EX | LOCK_NB) == 0)
        return Outcome::acquired;
    if (errno == EWOULDBLOCK)
        return Outcome::heldByAnother;
    *problem = QStringLiteral("cannot lock ") + path + QStringLiteral(": ") +
               QString::fromLocal8Bit(strerror(errno));
    return Outcome::unusable;
}

} // namespace veldrin
