#pragma once

// A structural check that runs before libplist sees a property list read from
// disk. libplist's readers trust their input more than an Info.plist written
// by anyone deserves (deep recursion, and overflow bugs in the binary reader),
// so anything large, deeply nested or malformed is refused up front.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace veldrin {

// Files larger than this are refused unread.
inline constexpr qint64 plistMaxBytes = 1024 * 1024;
// Dictionaries and arrays may nest this many levels, the root counting as one;
// an empty <dict/> or <array/> is a level too.
inline constexpr int plistMaxDepth = 64;
// A binary list may share objects; expanded into a tree it may hold at most
// this many nodes, so that a few kilobytes cannot unfold into gigabytes.
inline constexpr qint64 plistMaxExpandedObjects = 1 << 20;

// The dict/array nesting depth of an XML or binary ("bplist00") property list
// (0 for a lone scalar), or nothing when the data is malformed in a way that
// could mislead libplist or nests deeper than plistMaxDepth.
std::optional<int> plistNestingDepth(QByteArrayView data);

// True when `data` is at most plistMaxBytes and plistNestingDepth accepts it.
bool plistIsSafeToParse(QByteArrayView data);

// The contents of a regular file of at most plistMaxBytes; nothing for a
// missing, unreadable or larger file, a folder or a FIFO. Never blocks.
std::optional<QByteArray> readPlistFile(const QString& path);

} // namespace veldrin
