#include "platform/linux/MenuExport.h"

#include "platform/linux/BusValues.h"

namespace veldrin {

namespace {

constexpr const char* menuInterface = "com.canonical.dbusmenu";

const QString introspection = QStringLiteral(
    R"xml(<!DOCTYPE node PUBLIC "-//freedesktop//DTD D-BUS Object Introspection 1.0//EN" "http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd">
<node>
  <interface name="com.canonical.dbusmenu">
    <property name="Version" type="u" access="read"/>
    <property name="TextDirection" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="IconThemePath" type="as" access="read"/>
    <method name="GetLayout">
      <arg type="i" name="parentId" direction="in"/>
      <arg type="i" name="recursionDepth" direction="in"/>
      <arg type="as" name="propertyNames" direction="in"/>
      <arg type="u" name="revision" direction="out"/>
      <arg type="(ia{sv}av)" name="layout" direction="out"/>
    </method>
    <method name="GetGroupProperties">
      <arg type="ai" name="ids" direction="in"/>
      <arg type="as" name="propertyNames" direction="in"/>
      <arg type="a(ia{sv})" name="properties" direction="out"/>
    </method>
    <method name="GetProperty">
      <arg type="i" name="id" direction="in"/>
      <arg type="s" name="name" direction="in"/>
      <arg type="v" name="value" direction="out"/>
    </method>
    <method name="Event">
      <arg type="i" name="id" direction="in"/>
      <arg type="s" name="eventId" direction="in"/>
      <arg type="v" name="data" direction="in"/>
      <arg type="u" name="timestamp" direction="in"/>
    </method>
    <method name="EventGroup">
      <arg type="a(isvu)" name="events" direction="in"/>
      <arg type="ai" name="idErrors" direction="out"/>
    </method>
    <method name="AboutToShow">
      <arg type="i" name="id" direction="in"/>
      <arg type="b" name="needUpdate" direction="out"/>
    </method>
    <method name="AboutToShowGroup">
      <arg type="ai" name="ids" direction="in"/>
      <arg type="ai" name="updatesNeeded" direction="out"/>
      <arg type="ai" name="idErrors" direction="out"/>
    </method>
    <signal name="ItemsPropertiesUpdated">
      <arg type="a(ia{sv})" name="updatedProps"/>
      <arg type="a(ias)" name="removedProps"/>
    </signal>
    <signal name="LayoutUpdated">
      <arg type="u" name="revision"/>
      <arg type="i" name="parent"/>
    </signal>
    <signal name="ItemActivationRequested">
      <arg type="i" name="id"/>
      <arg type="u" name="timestamp"/>
    </signal>
  </interface>
  <interface name="org.freedesktop.DBus.Properties">
    <method name="Get"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/></method>
    <method name="GetAll"><arg type="s" direction="in"/><arg type="a{sv}" direction="out"/></method>
  </interface>
  <interface name="org.freedesktop.DBus.Introspectable">
    <method name="Introspect"><arg type="s" direction="out"/></method>
  </interface>
</node>
)xml");

QVariantMap menuProperties() {
    return {{QStringLiteral("Version"), 3u},
            {QStringLiteral("TextDirection"), QStringLiteral("ltr")},
            {QStringLiteral("Status"), QStringLiteral("normal")},
            {QStringLiteral("IconThemePath"), QStringList()}};
}

} // namespace

MenuExport::MenuExport(BusConnection& bus, DBusMenu& menu, const QString& path, QObject* parent)
    : QObject(parent), bus_(bus), menu_(menu), path_(path) {
    bus_.registerObject(path_, introspection, [this](DBusMessage* call) { handle(call); });
    const QByteArray objectPath = path_.toUtf8();
    connect(&menu_, &DBusMenu::layoutUpdated, this, [this, objectPath](uint revision, int item) {
        DBusMessage* signal = dbus_message_new_signal(objectPath.constData(), menuInterface, "LayoutUpdated");
        bus_.send(BusMessage::adopt(bus::append(signal, revision, item)));
    });
    connect(&menu_, &DBusMenu::itemsPropertiesUpdated, this,
            [this, objectPath](const DBusMenuPropertiesList& updated, const DBusMenuRemovedList& removed) {
                DBusMessage* signal =
                    dbus_message_new_signal(objectPath.constData(), menuInterface, "ItemsPropertiesUpdated");
                bus_.send(BusMessage::adopt(bus::append(signal, updated, removed)));
            });
}

void MenuExport::reply(DBusMessage* call, const std::function<void(DBusMessageIter*)>& fill) {
    if (dbus_message_get_no_reply(call))
        return;
    DBusMessage* reply = dbus_message_new_method_return(call);
    DBusMessageIter it;
    dbus_message_iter_init_append(reply, &it);
    fill(&it);
    bus_.send(BusMessage::adopt(reply));
}

void MenuExport::handle(DBusMessage* call) {
    const auto is = [call](const char* interface, const char* method, const char* signature) {
        return dbus_message_is_method_call(call, interface, method) &&
               dbus_message_has_signature(call, signature);
    };
    const auto refuse = [&](const QString& why) { bus_.replyError(call, DBUS_ERROR_INVALID_ARGS, why); };
    bus::Reader in(call);
    if (is(menuInterface, "GetLayout", "iias")) {
        const int parent = in.readInt();
        const int depth = in.readInt();
        const QStringList names = in.readStrings(dbusMenuRequestLimit);
        const std::optional<DBusMenuLayout> layout = menu_.layout(parent, depth, names);
        if (!layout)
            return refuse(QStringLiteral("no item %1").arg(parent));
        reply(call, [&](DBusMessageIter* it) {
            bus::put(it, menu_.revision());
            bus::put(it, *layout);
        });
    } else if (is(menuInterface, "GetGroupProperties", "aias")) {
        const QList<int> ids = in.readIds(dbusMenuRequestLimit);
        const QStringList names = in.readStrings(dbusMenuRequestLimit);
        const DBusMenuPropertiesList properties = menu_.properties(ids, names);
        reply(call, [&](DBusMessageIter* it) { bus::put(it, properties); });
    } else if (is(menuInterface, "GetProperty", "is")) {
        const int id = in.readInt();
        const QString name = in.readString();
        const DBusMenuPropertiesList found = menu_.properties({id}, {name});
        if (found.isEmpty() || !found[0].properties.contains(name))
            return refuse(QStringLiteral("no property %1 on item %2").arg(name).arg(id));
        reply(call, [&](DBusMessageIter* it) { bus::putVariant(it, found[0].properties.value(name)); });
    } else if (is(menuInterface, "Event", "isvu")) {
        const int id = in.readInt();
        if (!menu_.handleEvent(id, in.readString()))
            return refuse(QStringLiteral("no item %1").arg(id));
        reply(call, [](DBusMessageIter*) {});
    } else if (is(menuInterface, "EventGroup", "a(isvu)")) {
        QList<int> unknown;
        for (const auto& [id, eventId] : in.readEvents(dbusMenuRequestLimit)) {
            if (!menu_.handleEvent(id, eventId))
                unknown << id;
        }
        reply(call, [&](DBusMessageIter* it) { bus::put(it, unknown); });
    } else if (is(menuInterface, "AboutToShow", "i")) {
        const int id = in.readInt();
        const std::optional<bool> update = menu_.aboutToShow(id);
        if (!update)
            return refuse(QStringLiteral("no item %1").arg(id));
        if (id == 0)
            Q_EMIT opened(QString::fromUtf8(dbus_message_get_sender(call)));
        reply(call, [&](DBusMessageIter* it) { bus::put(it, *update); });
    } else if (is(menuInterface, "AboutToShowGroup", "ai")) {
        QList<int> updates;
        QList<int> unknown;
        for (const int id : in.readIds(dbusMenuRequestLimit)) {
            const std::optional<bool> update = menu_.aboutToShow(id);
            if (!update)
                unknown << id;
            else if (*update)
                updates << id;
            if (id == 0)
                Q_EMIT opened(QString::fromUtf8(dbus_message_get_sender(call)));
        }
        reply(call, [&](DBusMessageIter* it) {
            bus::put(it, updates);
            bus::put(it, unknown);
        });
    } else if (is(DBUS_INTERFACE_PROPERTIES, "Get", "ss")) {
        const QString interface = in.readString();
        const QString name = in.readString();
        const QVariantMap properties = menuProperties();
        if (interface != QLatin1String(menuInterface) || !properties.contains(name))
            return bus_.replyError(call, DBUS_ERROR_UNKNOWN_PROPERTY, QStringLiteral("no property ") + name);
        reply(call, [&](DBusMessageIter* it) { bus::putVariant(it, properties.value(name)); });
    } else if (is(DBUS_INTERFACE_PROPERTIES, "GetAll", "s")) {
        const bool ours = in.readString() == QLatin1String(menuInterface);
        reply(call, [&](DBusMessageIter* it) { bus::put(it, ours ? menuProperties() : QVariantMap()); });
    } else if (is(DBUS_INTERFACE_PROPERTIES, "Set", "ssv")) {
        bus_.replyError(call, DBUS_ERROR_PROPERTY_READ_ONLY,
                        QStringLiteral("the menu's properties are read-only"));
    } else {
        bus_.replyError(call, DBUS_ERROR_UNKNOWN_METHOD,
                        QStringLiteral("no method %1 with signature %2")
                            .arg(QString::fromUtf8(dbus_message_get_member(call)),
                                 QString::fromUtf8(dbus_message_get_signature(call))));
    }
}

} // namespace veldrin
