#include "platform/linux/TrayTypes.h"

#include <QDBusMetaType>

namespace veldrin {

void registerTrayTypes() {
    static const bool once = [] {
        qDBusRegisterMetaType<TrayPixmap>();
        qDBusRegisterMetaType<TrayPixmaps>();
        qDBusRegisterMetaType<TrayToolTip>();
        qDBusRegisterMetaType<DBusMenuLayout>();
        qDBusRegisterMetaType<DBusMenuProperties>();
        qDBusRegisterMetaType<DBusMenuPropertiesList>();
        qDBusRegisterMetaType<DBusMenuRemoved>();
        qDBusRegisterMetaType<DBusMenuRemovedList>();
        qDBusRegisterMetaType<DBusMenuEvent>();
        qDBusRegisterMetaType<DBusMenuEventList>();
        qDBusRegisterMetaType<QList<QStringList>>();
        return true;
    }();
    Q_UNUSED(once);
}

QDBusArgument& operator<<(QDBusArgument& arg, const TrayPixmap& v) {
    arg.beginStructure();
    arg << v.width << v.height << v.argb;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, TrayPixmap& v) {
    arg.beginStructure();
    arg >> v.width >> v.height >> v.argb;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const TrayToolTip& v) {
    arg.beginStructure();
    arg << v.iconName << v.icon << v.title << v.description;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, TrayToolTip& v) {
    arg.beginStructure();
    arg >> v.iconName >> v.icon >> v.title >> v.description;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuLayout& v) {
    arg.beginStructure();
    arg << v.id << v.properties;
    // The children travel as variants, each holding a layout of its own.
    arg.beginArray(qMetaTypeId<QDBusVariant>());
    for (const DBusMenuLayout& child : v.children)
        arg << QDBusVariant(QVariant::fromValue(child));
    arg.endArray();
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuLayout& v) {
    arg.beginStructure();
    arg >> v.id >> v.properties;
    v.children.clear();
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant child;
        arg >> child;
        v.children << qdbus_cast<DBusMenuLayout>(child.variant().value<QDBusArgument>());
    }
    arg.endArray();
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuProperties& v) {
    arg.beginStructure();
    arg << v.id << v.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuProperties& v) {
    arg.beginStructure();
    arg >> v.id >> v.properties;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuRemoved& v) {
    arg.beginStructure();
    arg << v.id << v.names;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuRemoved& v) {
    arg.beginStructure();
    arg >> v.id >> v.names;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuEvent& v) {
    arg.beginStructure();
    arg << v.id << v.eventId << v.data << v.timestamp;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuEvent& v) {
    arg.beginStructure();
    arg >> v.id >> v.eventId >> v.data >> v.timestamp;
    arg.endStructure();
    return arg;
}

} // namespace veldrin
