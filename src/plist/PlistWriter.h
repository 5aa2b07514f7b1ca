#pragma once

// Writes Info.plist files with libplist: the demo sandbox lays out its stand-in
// app bundles with it, and the tests make their fixtures.

#include <QString>
#include <QVariantMap>

namespace veldrin {

// Writes `dict` as the root dictionary of an XML or binary property list at
// `plistPath`, creating missing parent folders. Values may be strings,
// Booleans, integers (negative, and unsigned up to 2^64 - 1), doubles, byte
// arrays, and nested maps and lists of these. Returns false, leaving no file,
// for any other value or when the file cannot be written.
bool writeInfoPlist(const QString& plistPath, const QVariantMap& dict, bool binary);

} // namespace veldrin
