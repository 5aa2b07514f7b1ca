#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

namespace veldrin {

// The contents of a regular file of at most maxBytes; nothing for a missing,
// unreadable or larger file, a folder or a FIFO. Never blocks.
std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxBytes);

// Opens `path` for reading into `file` if it is a regular file; false for
// anything else (a FIFO in its place would block the reader until some writer
// came). Never blocks.
bool openRegularFile(QFile& file, const QString& path);

} // namespace veldrin
