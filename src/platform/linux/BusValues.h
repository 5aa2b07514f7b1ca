#pragma once

// Reading and writing the values the tray protocols exchange, in place in
// libdbus messages. Readers of arrays stop after a bound, so that what a
// request costs depends on the menu and not on what a client put in it.

#include "platform/linux/TrayTypes.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <dbus/dbus.h>

#include <utility>

namespace veldrin::bus {

// The arguments of a message, read in order. A value of another type than
// asked reads as empty and marks the reader failed.
class Reader {
public:
    explicit Reader(DBusMessage* message);
    // The values from `it` on (inside a container, say).
    explicit Reader(const DBusMessageIter& it) : it_(it) {}

    int readInt();
    unsigned readUInt();
    QString readString();
    // ai: the distinct values among the first `limit` elements, in order.
    QList<int> readIds(qsizetype limit);
    // as: the first `limit` elements.
    QStringList readStrings(qsizetype limit);
    // a(isvu): of the first `limit` events, each distinct id's first event id.
    QList<std::pair<int, QString>> readEvents(qsizetype limit);
    // v holding an s, as the watcher's properties come: the string, or empty.
    QVariant readVariant();
    // a{sv} with basic, string-array or Boolean values.
    QVariantMap readVariantMap();
    bool failed() const { return failed_; }

private:
    bool expect(int type);
    DBusMessageIter it_;
    bool failed_ = false;
};

void put(DBusMessageIter* it, int value);
void put(DBusMessageIter* it, unsigned value);
void put(DBusMessageIter* it, bool value);
void put(DBusMessageIter* it, const QString& value);
void put(DBusMessageIter* it, const QStringList& value);
void put(DBusMessageIter* it, const QList<int>& value);
// v, holding b, i, u, s, as, aas or ay as the QVariant does.
void putVariant(DBusMessageIter* it, const QVariant& value);
void put(DBusMessageIter* it, const QVariantMap& value);
void put(DBusMessageIter* it, const DBusMenuLayout& value);
void put(DBusMessageIter* it, const DBusMenuPropertiesList& value);
void put(DBusMessageIter* it, const DBusMenuRemovedList& value);
void put(DBusMessageIter* it, const TrayPixmaps& value);
void put(DBusMessageIter* it, const TrayToolTip& value);

// Appends `values` to `message`, in order, and answers it.
template <class... Values> DBusMessage* append(DBusMessage* message, const Values&... values) {
    DBusMessageIter it;
    dbus_message_iter_init_append(message, &it);
    (put(&it, values), ...);
    return message;
}

} // namespace veldrin::bus
