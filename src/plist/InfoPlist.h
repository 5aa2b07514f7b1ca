#pragma once

// The build of an installed app, read from its Info.plist.

#include <QByteArray>
#include <QString>

namespace veldrin {

// The "CFBundleVersion" of <bundlePath>/Contents/Info.plist (XML, with or
// without a byte-order mark, or binary): a text as it stands, a number in its
// usual decimal form ("27", "27.5"), "0" for anything else or any failure.
// Files over 1 MiB or nested deeper than 64 levels are refused ("0") before
// the property-list parser sees them.
QString build(const QString& bundlePath);
// The same answer for the contents of an Info.plist already in memory.
QString buildFromInfoPlist(QByteArray contents);

} // namespace veldrin
