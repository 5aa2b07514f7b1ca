#include "platform/linux/MenuExport.h"

#include "platform/linux/BusValues.h"

namespace veldrin {

namespace {

constexpr const char* menuInterface = "com.canonical.dbusmenu";

// The object's own interface; the bus connection adds the standard ones.
const QString interfaceXml = QStringLiteral(R"xml(  <interface name="com.canonical.dbusmenu">
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
)xml");

QVariantMap menuProperties() {
    return {{QStringLiteral("Version"), 3u},
            {QStringLiteral("TextDirection"), QStringLiteral("ltr")},
            {QStringLiteral("Status"), QStringLiteral("normal")},
            {QStringLiteral("IconThemePath"), QStringList()}};
}

} // namespace

MenuExport::MenuExport(BusConnection& bus, const TrayState& state, const QString& path, QObject* parent)
    : QObject(parent), bus_(bus), state_(state), path_(path.toUtf8()) {
    bus_.registerObject(path, interfaceXml, [this](DBusMessage* call) { handle(call); });
}

void MenuExport::sendLayoutUpdated(uint revision, int parent) {
    DBusMessage* signal = dbus_message_new_signal(path_.constData(), menuInterface, "LayoutUpdated");
    bus_.send(BusMessage::adopt(bus::append(signal, revision, parent)));
}

void MenuExport::sendItemsPropertiesUpdated(const DBusMenuPropertiesList& updated,
                                            const DBusMenuRemovedList& removed) {
    DBusMessage* signal = dbus_message_new_signal(path_.constData(), menuInterface, "ItemsPropertiesUpdated");
    bus_.send(BusMessage::adopt(bus::append(signal, updated, removed)));
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

QString MenuExport::senderOf(DBusMessage* call) {
    return QString::fromUtf8(dbus_message_get_sender(call));
}

void MenuExport::opening(DBusMessage* call) {
    Q_EMIT opened(senderOf(call));
    if (!openingPending_->exchange(true))
        Q_EMIT openingForMainThread();
}

void MenuExport::event(int id, const QString& eventId) {
    // Only a click acts; the host's "opened" comes with an AboutToShow too.
    if (eventId == QLatin1String("clicked") && !clickPending_->exchange(true))
        Q_EMIT clicked(id);
}

void MenuExport::handle(DBusMessage* call) {
    const auto is = [call](const char* interface, const char* method, const char* signature) {
        return dbus_message_is_method_call(call, interface, method) &&
               dbus_message_has_signature(call, signature);
    };
    const auto refuse = [&](const QString& why) { bus_.replyError(call, DBUS_ERROR_INVALID_ARGS, why); };
    const TrayState::Menu menu = state_.menu();
    const DBusMenuTree& tree = *menu.tree;
    bus::Reader in(call);
    if (is(menuInterface, "GetLayout", "iias")) {
        const int parent = in.readInt();
        const int depth = in.readInt();
        const QStringList names = in.readStrings(dbusMenuRequestLimit);
        if (!tree.node(parent))
            return refuse(QStringLiteral("no item %1").arg(parent));
        const DBusMenuLayout layout =
            tree.layout(parent, depth, wantedProperties(names, dbusMenuRequestLimit));
        readers_.read(senderOf(call), tree, parent, depth);
        Q_EMIT layoutRead(senderOf(call));
        reply(call, [&](DBusMessageIter* it) {
            bus::put(it, menu.revision);
            bus::put(it, layout);
        });
    } else if (is(menuInterface, "GetGroupProperties", "aias")) {
        const QList<int> ids = in.readIds(dbusMenuRequestLimit);
        const DBusMenuPropertiesList properties = tree.properties(ids, in.readStrings(dbusMenuRequestLimit));
        reply(call, [&](DBusMessageIter* it) { bus::put(it, properties); });
    } else if (is(menuInterface, "GetProperty", "is")) {
        const int id = in.readInt();
        const QString name = in.readString();
        const DBusMenuPropertiesList found = tree.properties({id}, {name});
        if (found.isEmpty() || !found[0].properties.contains(name))
            return refuse(QStringLiteral("no property %1 on item %2").arg(name).arg(id));
        reply(call, [&](DBusMessageIter* it) { bus::putVariant(it, found[0].properties.value(name)); });
    } else if (is(menuInterface, "Event", "isvu")) {
        const int id = in.readInt();
        if (!tree.node(id))
            return refuse(QStringLiteral("no item %1").arg(id));
        reply(call, [](DBusMessageIter*) {});
        event(id, in.readString());
    } else if (is(menuInterface, "EventGroup", "a(isvu)")) {
        QList<int> unknown;
        const QList<std::pair<int, QString>> events = in.readEvents(dbusMenuRequestLimit);
        for (const auto& [id, eventId] : events) {
            if (!tree.node(id))
                unknown << id;
        }
        reply(call, [&](DBusMessageIter* it) { bus::put(it, unknown); });
        for (const auto& [id, eventId] : events) {
            if (tree.node(id))
                event(id, eventId);
        }
    } else if (is(menuInterface, "AboutToShow", "i")) {
        const int id = in.readInt();
        if (!tree.node(id))
            return refuse(QStringLiteral("no item %1").arg(id));
        const bool needsUpdate = readers_.needsUpdate(senderOf(call), tree, id);
        reply(call, [&](DBusMessageIter* it) { bus::put(it, needsUpdate); });
        if (id == 0)
            opening(call);
    } else if (is(menuInterface, "AboutToShowGroup", "ai")) {
        QList<int> updates;
        QList<int> unknown;
        bool root = false;
        for (const int id : in.readIds(dbusMenuRequestLimit)) {
            if (!tree.node(id))
                unknown << id;
            else if (readers_.needsUpdate(senderOf(call), tree, id))
                updates << id;
            root = root || id == 0;
        }
        reply(call, [&](DBusMessageIter* it) {
            bus::put(it, updates);
            bus::put(it, unknown);
        });
        if (root)
            opening(call);
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
