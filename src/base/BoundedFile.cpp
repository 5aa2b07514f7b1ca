#include "base/BoundedFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veldrin {

bool openRegularFile(QFile& file, const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxBytes) {
    QFile file;
    if (!openRegularFile(file, path) || file.size() > maxBytes)
        return std::nullopt;
    // One byte more than the size, to notice a file that is still growing;
    // such a file is refused like a larger one.
    const qint64 size = file.size();
    QByteArray data = file.read(size + 1);
    if (file.error() != QFileDevice::NoError || data.size() > size)
        return std::nullopt;
    return data;
}

} // namespace veldrin
