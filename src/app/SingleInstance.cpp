#include "app/SingleInstance.h"

#include "platform/Paths.h"

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

bool InstanceLock::acquire(QString* warning) {
    const QString folder = homeFolder() + QStringLiteral("/.cache/veldrin");
    const QString path = folder + QStringLiteral("/instance.lock");
    QDir().mkpath(folder);
    fd_ = open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        *warning = QStringLiteral("cannot make ") + path + QStringLiteral(": ") +
                   QString::fromLocal8Bit(strerror(errno));
        return true;
    }
    if (flock(fd_, LOCK_EX | LOCK_NB) == 0)
        return true;
    if (errno == EWOULDBLOCK)
        return false;
    *warning = QStringLiteral("cannot lock ") + path + QStringLiteral(": ") +
               QString::fromLocal8Bit(strerror(errno));
    return true;
}

} // namespace veldrin
