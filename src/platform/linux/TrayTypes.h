#pragma once

// The structured values the StatusNotifierItem and com.canonical.dbusmenu
// protocols exchange, with their D-Bus signatures.

#include <QByteArray>
#include <QDBusArgument>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace veldrin {

// (iiay): one size of an icon, ARGB32 in network byte order.
struct TrayPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb;
};
using TrayPixmaps = QList<TrayPixmap>;

// (sa(iiay)ss): icon name, icon, title, description.
struct TrayToolTip {
    QString iconName;
    TrayPixmaps icon;
    QString title;
    QString description;
};

// (ia{sv}av): one menu item with its properties and, as variants, its children.
struct DBusMenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayout> children;
};

// (ia{sv}): an item's properties, for GetGroupProperties.
struct DBusMenuProperties {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuPropertiesList = QList<DBusMenuProperties>;

// (ias): the names of an item's removed properties.
struct DBusMenuRemoved {
    int id = 0;
    QStringList names;
};
using DBusMenuRemovedList = QList<DBusMenuRemoved>;

// (isvu): one event of EventGroup.
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

// At most this many elements of an array a host sends are read: many times
// the items the menu has, so that the cost of a request is bounded by the
// menu and never by what a client puts into it.
inline constexpr qsizetype dbusMenuRequestLimit = 4096;

// Registers every type above with QtDBus; call before exporting or calling.
void registerTrayTypes();

QDBusArgument& operator<<(QDBusArgument& arg, const TrayPixmap& v);
const QDBusArgument& operator>>(const QDBusArgument& arg, TrayPixmap& v);
QDBusArgument& operator<<(QDBusArgument& arg, const TrayToolTip& v);
const QDBusArgument& operator>>(const QDBusArgument& arg, TrayToolTip& v);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuLayout& v);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuLayout& v);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuProperties& v);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuProperties& v);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuRemoved& v);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuRemoved& v);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuEvent& v);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuEvent& v);

} // namespace veldrin

Q_DECLARE_METATYPE(veldrin::TrayPixmap)
Q_DECLARE_METATYPE(veldrin::TrayToolTip)
Q_DECLARE_METATYPE(veldrin::DBusMenuLayout)
Q_DECLARE_METATYPE(veldrin::DBusMenuProperties)
Q_DECLARE_METATYPE(veldrin::DBusMenuRemoved)
Q_DECLARE_METATYPE(veldrin::DBusMenuEvent)
