#include "plist/InfoPlist.h"

#include "platform/System.h"
#include "plist/LibPlist.h"
#include "plist/PlistGuard.h"

#include <QByteArrayView>
#include <QLocale>

#include <plist/plist.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace veldrin {

namespace {

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

QString buildFromInfoPlist(QByteArray contents) {
    const QString unreadable = QStringLiteral("0");
    // Editors that save "UTF-8 with BOM" put one in front of the XML.
    if (contents.startsWith("\xEF\xBB\xBF"))
        contents.remove(0, 3);
    if (!plistIsSafeToParse(contents))
        return unreadable;
    plist_t parsed = nullptr;
    {
        const CNumericLocale cNumbers;
        plist_from_memory(contents.constData(), static_cast<uint32_t>(contents.size()), &parsed);
    }
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
    case PLIST_REAL: {
        double real = 0;
        plist_get_real_val(value, &real);
        // Plain decimals ("100000", "0.0001"); an exponent only for the
        // extremes, as printf's %g would.
        const double magnitude = std::abs(real);
        const bool plain = magnitude == 0 || (magnitude >= 1e-4 && magnitude < 1e17);
        return QString::number(real, plain ? 'f' : 'g', QLocale::FloatingPointShortest);
    }
    default:
        return unreadable;
    }
}

QString build(const QString& bundlePath) {
    // Every menu opening asks for three builds. A file whose stamp is what it
    // was at the last reading is not read and parsed again; an upgrade
    // replaces the file, or writes to it, and so changes its stamp. A file
    // written less than a second before it is read is not remembered: a
    // second write within the same tick of the file system's clock could
    // leave the stamp as it was.
    const QString path = bundlePath + QStringLiteral("/Contents/Info.plist");
    static std::mutex mutex;
    static std::map<QString, std::pair<FileStamp, QString>> known;
    const std::optional<FileStamp> stamp = fileStamp(path);
    if (stamp) {
        const std::lock_guard lock(mutex);
        const auto it = known.find(path);
        if (it != known.end() && it->second.first == *stamp)
            return it->second.second;
    }
    const auto contents = readPlistFile(path);
    const QString result = contents ? buildFromInfoPlist(*contents) : QStringLiteral("0");
    const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    if (contents && stamp && now - std::max(stamp->modifiedNs, stamp->changedNs) > 1000000000) {
        const std::lock_guard lock(mutex);
        if (known.size() >= 16)
            known.clear();
        known[path] = {*stamp, result};
    }
    return result;
}

} // namespace veldrin
