#include "app/BuildInfo.h"

#include "app/PlistGuard.h"
#include "platform/Platform.h"

#include <QByteArrayView>

#include <plist/plist.h>

#include <cstdint>
#include <memory>

namespace veldrin {

namespace {

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

QString textOrUnknown(const QVariant& value) {
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    return QStringLiteral("unknown");
}

// libplist 2.2 stores every integer in an unsigned 64-bit field, negative ones
// as two's complement, and marks values above the signed range only in a
// private width flag. Its XML writer is the one public reader of that flag, so
// the decimal form is taken from there.
QString integerText(plist_t node) {
    PlistPtr copy(plist_copy(node));
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(copy.get(), &xml, &length);
    if (xml) {
        const QByteArrayView text(xml, static_cast<qsizetype>(length));
        const QByteArrayView open("<integer>");
        const qsizetype from = text.indexOf(open);
        const qsizetype to = text.indexOf("</integer>");
        QString number;
        if (from >= 0 && to > from)
            number = QString::fromLatin1(text.sliced(from + open.size(), to - from - open.size()));
        plist_to_xml_free(xml);
        if (!number.isEmpty())
            return number;
    }
    uint64_t value = 0;
    plist_get_uint_val(node, &value);
    return QString::number(static_cast<qint64>(value));
}

} // namespace

QString composeVersionLabel(const QVariant& shortVersion, const QVariant& bundleVersion) {
    return QStringLiteral("Veldrin ") + textOrUnknown(shortVersion) + QStringLiteral(" (build ") +
           textOrUnknown(bundleVersion) + QStringLiteral(")");
}

QString appVersionLabel(const BundleInfo& info) {
    return composeVersionLabel(info.infoValue(QStringLiteral("CFBundleShortVersionString")),
                               info.infoValue(QStringLiteral("CFBundleVersion")));
}

QString buildFromInfoPlist(const QByteArray& contents) {
    const QString unreadable = QStringLiteral("0");
    if (!plistIsSafeToParse(contents))
        return unreadable;
    plist_t parsed = nullptr;
    plist_from_memory(contents.constData(), static_cast<uint32_t>(contents.size()), &parsed);
    PlistPtr root(parsed);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return unreadable;
    plist_t value = plist_dict_get_item(root.get(), "CFBundleVersion");
    if (!value)
        return unreadable;
    switch (plist_get_node_type(value)) {
    case PLIST_STRING: {
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(value, &length);
        return text ? QString::fromUtf8(text, static_cast<qsizetype>(length)) : unreadable;
    }
    case PLIST_UINT:
        return integerText(value);
    default:
        return unreadable;
    }
}

QString build(const QString& bundlePath) {
    const auto contents = readPlistFile(bundlePath + QStringLiteral("/Contents/Info.plist"));
    if (!contents)
        return QStringLiteral("0");
    return buildFromInfoPlist(*contents);
}

QString buildLine(const QString& label, const QString& profileBuild, const QString& primaryBuild) {
    if (profileBuild == primaryBuild)
        return label + QStringLiteral(" up to date (build ") + profileBuild + QStringLiteral(")");
    return label + QStringLiteral(" behind (build ") + profileBuild + QStringLiteral(" \u2192 ") +
           primaryBuild + QStringLiteral(")");
}

} // namespace veldrin
