#include "platform/linux/BusValues.h"

#include <QSet>

namespace veldrin::bus {

namespace {

const char* signatureOf(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return "b";
    case QMetaType::Int:
        return "i";
    case QMetaType::UInt:
        return "u";
    case QMetaType::QStringList:
        return "as";
    case QMetaType::QByteArray:
        return "ay";
    default:
        break;
    }
    if (value.canConvert<QList<QStringList>>() && value.typeId() == qMetaTypeId<QList<QStringList>>())
        return "aas";
    return "s";
}

// Opens a container, runs `fill` on it, closes it.
template <class Fill> void container(DBusMessageIter* it, int type, const char* signature, Fill fill) {
    DBusMessageIter inner;
    dbus_message_iter_open_container(it, type, signature, &inner);
    fill(&inner);
    dbus_message_iter_close_container(it, &inner);
}

void putBytes(DBusMessageIter* it, const QByteArray& bytes) {
    container(it, DBUS_TYPE_ARRAY, "y", [&](DBusMessageIter* a) {
        const char* data = bytes.constData();
        dbus_message_iter_append_fixed_array(a, DBUS_TYPE_BYTE, &data, int(bytes.size()));
    });
}

} // namespace

Reader::Reader(DBusMessage* message) {
    if (!dbus_message_iter_init(message, &it_))
        failed_ = true;
}

bool Reader::expect(int type) {
    if (failed_ || dbus_message_iter_get_arg_type(&it_) != type) {
        failed_ = true;
        return false;
    }
    return true;
}

int Reader::readInt() {
    dbus_int32_t v = 0;
    if (expect(DBUS_TYPE_INT32)) {
        dbus_message_iter_get_basic(&it_, &v);
        dbus_message_iter_next(&it_);
    }
    return v;
}

unsigned Reader::readUInt() {
    dbus_uint32_t v = 0;
    if (expect(DBUS_TYPE_UINT32)) {
        dbus_message_iter_get_basic(&it_, &v);
        dbus_message_iter_next(&it_);
    }
    return v;
}

QString Reader::readString() {
    const char* v = "";
    if (expect(DBUS_TYPE_STRING)) {
        dbus_message_iter_get_basic(&it_, &v);
        dbus_message_iter_next(&it_);
    }
    return QString::fromUtf8(v);
}

QList<int> Reader::readIds(qsizetype limit) {
    QList<int> ids;
    if (!expect(DBUS_TYPE_ARRAY) || dbus_message_iter_get_element_type(&it_) != DBUS_TYPE_INT32) {
        failed_ = true;
        return ids;
    }
    DBusMessageIter a;
    dbus_message_iter_recurse(&it_, &a);
    QSet<int> seen;
    for (qsizetype read = 0; read < limit && dbus_message_iter_get_arg_type(&a) == DBUS_TYPE_INT32; ++read) {
        dbus_int32_t id = 0;
        dbus_message_iter_get_basic(&a, &id);
        if (!seen.contains(id)) {
            seen.insert(id);
            ids << id;
        }
        dbus_message_iter_next(&a);
    }
    dbus_message_iter_next(&it_);
    return ids;
}

QStringList Reader::readStrings(qsizetype limit) {
    QStringList strings;
    if (!expect(DBUS_TYPE_ARRAY) || dbus_message_iter_get_element_type(&it_) != DBUS_TYPE_STRING) {
        failed_ = true;
        return strings;
    }
    DBusMessageIter a;
    dbus_message_iter_recurse(&it_, &a);
    for (qsizetype read = 0; read < limit && dbus_message_iter_get_arg_type(&a) == DBUS_TYPE_STRING; ++read) {
        const char* s = "";
        dbus_message_iter_get_basic(&a, &s);
        strings << QString::fromUtf8(s);
        dbus_message_iter_next(&a);
    }
    dbus_message_iter_next(&it_);
    return strings;
}

QList<std::pair<int, QString>> Reader::readEvents(qsizetype limit) {
    QList<std::pair<int, QString>> events;
    if (!expect(DBUS_TYPE_ARRAY) || dbus_message_iter_get_element_type(&it_) != DBUS_TYPE_STRUCT) {
        failed_ = true;
        return events;
    }
    DBusMessageIter a;
    dbus_message_iter_recurse(&it_, &a);
    QSet<int> seen;
    for (qsizetype read = 0; read < limit && dbus_message_iter_get_arg_type(&a) == DBUS_TYPE_STRUCT; ++read) {
        DBusMessageIter e;
        dbus_message_iter_recurse(&a, &e);
        dbus_int32_t id = 0;
        const char* eventId = "";
        if (dbus_message_iter_get_arg_type(&e) == DBUS_TYPE_INT32) {
            dbus_message_iter_get_basic(&e, &id);
            dbus_message_iter_next(&e);
            // The event id is read only for an item not seen yet; data and timestamp never.
            if (!seen.contains(id) && dbus_message_iter_get_arg_type(&e) == DBUS_TYPE_STRING) {
                dbus_message_iter_get_basic(&e, &eventId);
                seen.insert(id);
                events.append({id, QString::fromUtf8(eventId)});
            }
        }
        dbus_message_iter_next(&a);
    }
    dbus_message_iter_next(&it_);
    return events;
}

QVariant Reader::readVariant() {
    if (!expect(DBUS_TYPE_VARIANT))
        return {};
    DBusMessageIter v;
    dbus_message_iter_recurse(&it_, &v);
    dbus_message_iter_next(&it_);
    QVariant out;
    switch (dbus_message_iter_get_arg_type(&v)) {
    case DBUS_TYPE_BOOLEAN: {
        dbus_bool_t b = FALSE;
        dbus_message_iter_get_basic(&v, &b);
        out = bool(b);
        break;
    }
    case DBUS_TYPE_INT32: {
        dbus_int32_t i = 0;
        dbus_message_iter_get_basic(&v, &i);
        out = int(i);
        break;
    }
    case DBUS_TYPE_STRING: {
        const char* s = "";
        dbus_message_iter_get_basic(&v, &s);
        out = QString::fromUtf8(s);
        break;
    }
    case DBUS_TYPE_ARRAY:
        if (dbus_message_iter_get_element_type(&v) == DBUS_TYPE_STRING) {
            QStringList strings;
            DBusMessageIter a;
            dbus_message_iter_recurse(&v, &a);
            // A watcher's list of items: a few hundred at the very most.
            for (int n = 0; n < 4096 && dbus_message_iter_get_arg_type(&a) == DBUS_TYPE_STRING; ++n) {
                const char* s = "";
                dbus_message_iter_get_basic(&a, &s);
                strings << QString::fromUtf8(s);
                dbus_message_iter_next(&a);
            }
            out = strings;
        }
        break;
    default:
        break;
    }
    return out;
}

QVariantMap Reader::readVariantMap() {
    QVariantMap map;
    if (!expect(DBUS_TYPE_ARRAY) || dbus_message_iter_get_element_type(&it_) != DBUS_TYPE_DICT_ENTRY) {
        failed_ = true;
        return map;
    }
    DBusMessageIter a;
    dbus_message_iter_recurse(&it_, &a);
    for (int n = 0; n < 256 && dbus_message_iter_get_arg_type(&a) == DBUS_TYPE_DICT_ENTRY; ++n) {
        DBusMessageIter entry;
        dbus_message_iter_recurse(&a, &entry);
        const char* key = "";
        if (dbus_message_iter_get_arg_type(&entry) == DBUS_TYPE_STRING) {
            dbus_message_iter_get_basic(&entry, &key);
            dbus_message_iter_next(&entry);
            map.insert(QString::fromUtf8(key), Reader(entry).readVariant());
        }
        dbus_message_iter_next(&a);
    }
    dbus_message_iter_next(&it_);
    return map;
}

void put(DBusMessageIter* it, int value) {
    const dbus_int32_t v = value;
    dbus_message_iter_append_basic(it, DBUS_TYPE_INT32, &v);
}

void put(DBusMessageIter* it, unsigned value) {
    const dbus_uint32_t v = value;
    dbus_message_iter_append_basic(it, DBUS_TYPE_UINT32, &v);
}

void put(DBusMessageIter* it, bool value) {
    const dbus_bool_t v = value;
    dbus_message_iter_append_basic(it, DBUS_TYPE_BOOLEAN, &v);
}

void put(DBusMessageIter* it, const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    const char* v = utf8.constData();
    dbus_message_iter_append_basic(it, DBUS_TYPE_STRING, &v);
}

void put(DBusMessageIter* it, const QStringList& value) {
    container(it, DBUS_TYPE_ARRAY, "s", [&](DBusMessageIter* a) {
        for (const QString& s : value)
            put(a, s);
    });
}

void put(DBusMessageIter* it, const QList<int>& value) {
    container(it, DBUS_TYPE_ARRAY, "i", [&](DBusMessageIter* a) {
        for (const int i : value)
            put(a, i);
    });
}

void putVariant(DBusMessageIter* it, const QVariant& value) {
    const char* signature = signatureOf(value);
    container(it, DBUS_TYPE_VARIANT, signature, [&](DBusMessageIter* v) {
        switch (signature[0] == 'a' ? signature[1] : signature[0]) {
        case 'b':
            return put(v, value.toBool());
        case 'i':
            return put(v, value.toInt());
        case 'u':
            return put(v, value.toUInt());
        case 'y':
            return putBytes(v, value.toByteArray());
        case 'a': // aas
            return container(v, DBUS_TYPE_ARRAY, "as", [&](DBusMessageIter* a) {
                for (const QStringList& list : value.value<QList<QStringList>>())
                    put(a, list);
            });
        case 's':
            return signature[0] == 'a' ? put(v, value.toStringList()) : put(v, value.toString());
        }
    });
}

void put(DBusMessageIter* it, const QVariantMap& value) {
    container(it, DBUS_TYPE_ARRAY, "{sv}", [&](DBusMessageIter* a) {
        for (auto p = value.cbegin(); p != value.cend(); ++p) {
            container(a, DBUS_TYPE_DICT_ENTRY, nullptr, [&](DBusMessageIter* entry) {
                put(entry, p.key());
                putVariant(entry, *p);
            });
        }
    });
}

void put(DBusMessageIter* it, const DBusMenuLayout& value) {
    container(it, DBUS_TYPE_STRUCT, nullptr, [&](DBusMessageIter* s) {
        put(s, value.id);
        put(s, value.properties);
        container(s, DBUS_TYPE_ARRAY, "v", [&](DBusMessageIter* children) {
            for (const DBusMenuLayout& child : value.children)
                container(children, DBUS_TYPE_VARIANT, "(ia{sv}av)",
                          [&](DBusMessageIter* v) { put(v, child); });
        });
    });
}

void put(DBusMessageIter* it, const DBusMenuPropertiesList& value) {
    container(it, DBUS_TYPE_ARRAY, "(ia{sv})", [&](DBusMessageIter* a) {
        for (const DBusMenuProperties& item : value)
            container(a, DBUS_TYPE_STRUCT, nullptr, [&](DBusMessageIter* s) {
                put(s, item.id);
                put(s, item.properties);
            });
    });
}

void put(DBusMessageIter* it, const DBusMenuRemovedList& value) {
    container(it, DBUS_TYPE_ARRAY, "(ias)", [&](DBusMessageIter* a) {
        for (const DBusMenuRemoved& item : value)
            container(a, DBUS_TYPE_STRUCT, nullptr, [&](DBusMessageIter* s) {
                put(s, item.id);
                put(s, item.names);
            });
    });
}

void put(DBusMessageIter* it, const TrayPixmaps& value) {
    container(it, DBUS_TYPE_ARRAY, "(iiay)", [&](DBusMessageIter* a) {
        for (const TrayPixmap& pixmap : value)
            container(a, DBUS_TYPE_STRUCT, nullptr, [&](DBusMessageIter* s) {
                put(s, pixmap.width);
                put(s, pixmap.height);
                putBytes(s, pixmap.argb);
            });
    });
}

void put(DBusMessageIter* it, const TrayToolTip& value) {
    container(it, DBUS_TYPE_STRUCT, nullptr, [&](DBusMessageIter* s) {
        put(s, value.iconName);
        put(s, value.icon);
        put(s, value.title);
        put(s, value.description);
    });
}

} // namespace veldrin::bus
