#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

namespace veldrin {

// A bounded read of a regular file: its contents, or what kept them back.
struct BoundedRead {
    enum class Problem { none, missing, unreadable, notRegular, tooLarge, changed };
    std::optional<QByteArray> contents; // only when there is no problem
    Problem problem = Problem::none;
    QString reason; // the system's words, for a missing or unreadable file
};

// Reads a regular file of at most maxBytes; a missing, unreadable or larger
// file, a folder, a FIFO, or a file that grows while it is read gives no
// contents and says which. Never blocks.
BoundedRead readBoundedFile(const QString& path, qint64 maxBytes);

// The contents of a regular file of at most maxBytes; nothing for a missing,
// unreadable or larger file, a folder or a FIFO. Never blocks.
std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxBytes);

// Opens `path` for reading into `file` if it is a regular file; false for
// anything else (a FIFO in its place would block the reader until some writer
// came). Never blocks.
bool openRegularFile(QFile& file, const QString& path);

} // namespace veldrin
