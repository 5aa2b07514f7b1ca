#include "base/BoundedFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veldrin {

namespace {

using Problem = BoundedRead::Problem;

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Opens `path` into `file` if it is a regular file; otherwise says why not.
BoundedRead openRegular(QFile& file, const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return {std::nullopt, error == ENOENT ? Problem::missing : Problem::unreadable, systemReason(error)};
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return {std::nullopt, Problem::notRegular, {}};
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {std::nullopt, Problem::unreadable, file.errorString()};
    }
    return {};
}

} // namespace

bool openRegularFile(QFile& file, const QString& path) {
    return openRegular(file, path).problem == Problem::none;
}

BoundedRead readBoundedFile(const QString& path, qint64 maxBytes) {
    QFile file;
    if (BoundedRead refused = openRegular(file, path); refused.problem != Problem::none)
        return refused;
    if (file.size() > maxBytes)
        return {std::nullopt, Problem::tooLarge, {}};
    // One byte more than the size, to notice a file that is still growing;
    // such a file is refused, as it may pass the bound by now.
    const qint64 size = file.size();
    QByteArray data = file.read(size + 1);
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, Problem::unreadable, file.errorString()};
    if (data.size() > size)
        return {std::nullopt, Problem::changed, {}};
    return {std::move(data), Problem::none, {}};
}

std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxBytes) {
    return readBoundedFile(path, maxBytes).contents;
}

} // namespace veldrin
