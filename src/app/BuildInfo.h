#pragma once

// Build labels: this application's version label and the builds of the three
// installed Codex apps, read from their Info.plist.

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace veldrin {

class BundleInfo;

// "Veldrin <version> (build <build>)"; a missing or non-text value shows as "unknown".
QString composeVersionLabel(const QVariant& shortVersion, const QVariant& bundleVersion);
QString appVersionLabel(const BundleInfo& info);

// The "CFBundleVersion" of <bundlePath>/Contents/Info.plist (XML or binary):
// a text as is, an integer in decimal, "0" for anything else or any failure.
// Files over 1 MiB or nested deeper than 64 levels are refused ("0") before
// the property-list parser sees them.
QString build(const QString& bundlePath);
// The same answer for the contents of an Info.plist already in memory.
QString buildFromInfoPlist(const QByteArray& contents);

// "Alt up to date (build 27)" / "Alt behind (build 26 → 27)", by plain text equality.
QString buildLine(const QString& label, const QString& profileBuild, const QString& primaryBuild);

} // namespace veldrin
