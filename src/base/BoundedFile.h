#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace veldrin {

// The contents of a regular file of at most maxBytes; nothing for a missing,
// unreadable or larger file, a folder or a FIFO. Never blocks.
std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxBytes);

} // namespace veldrin
