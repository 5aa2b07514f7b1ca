#include "plist/PlistWriter.h"

#include "plist/LibPlist.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QVariantList>

#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>

namespace veldrin {

namespace {

// libplist 2.2 keeps every integer in an unsigned 64-bit field and reads it as
// signed unless a private width flag says otherwise; that flag is only set by
// its readers. Going through the XML reader is the one public way to store an
// unsigned value above the signed range.
plist_t newLargeUnsigned(quint64 value) {
    const QByteArray xml = "<plist><integer>" + QByteArray::number(value) + "</integer></plist>";
    plist_t node = nullptr;
    plist_from_memory(xml.constData(), static_cast<uint32_t>(xml.size()), &node);
    return node;
}

plist_t toNode(const QVariant& value);

plist_t toDict(const QVariantMap& map) {
    PlistPtr dict(plist_new_dict());
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        plist_t item = toNode(it.value());
        if (!item)
            return nullptr;
        plist_dict_set_item(dict.get(), it.key().toUtf8().constData(), item);
    }
    return dict.release();
}

plist_t toNode(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QString:
        return plist_new_string(value.toString().toUtf8().constData());
    case QMetaType::Bool:
        return plist_new_bool(value.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::SChar:
        // Two's complement in the unsigned field is how libplist stores a
        // negative integer.
        return plist_new_uint(static_cast<uint64_t>(value.toLongLong()));
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar: {
        const quint64 v = value.toULongLong();
        if (v > quint64(std::numeric_limits<qint64>::max()))
            return newLargeUnsigned(v);
        return plist_new_uint(v);
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return plist_new_real(value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), static_cast<uint64_t>(bytes.size()));
    }
    case QMetaType::QVariantMap:
        return toDict(value.toMap());
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        PlistPtr array(plist_new_array());
        for (const QVariant& item : value.toList()) {
            plist_t node = toNode(item);
            if (!node)
                return nullptr;
            plist_array_append_item(array.get(), node);
        }
        return array.release();
    }
    default:
        return nullptr;
    }
}

} // namespace

bool writeInfoPlist(const QString& plistPath, const QVariantMap& dict, bool binary) {
    PlistPtr root(toDict(dict));
    if (!root)
        return false;

    char* bytes = nullptr;
    uint32_t length = 0;
    const CNumericLocale cNumbers;
    if (binary)
        plist_to_bin(root.get(), &bytes, &length);
    else
        plist_to_xml(root.get(), &bytes, &length);
    if (!bytes)
        return false;
    const QByteArray encoded(bytes, static_cast<qsizetype>(length));
    if (binary)
        plist_to_bin_free(bytes);
    else
        plist_to_xml_free(bytes);

    if (!QDir().mkpath(QFileInfo(plistPath).absolutePath()))
        return false;
    QSaveFile file(plistPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(encoded) != encoded.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace veldrin
