#include "platform/linux/ItemService.h"

#include "platform/linux/BusValues.h"

#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace veldrin {

namespace {

constexpr const char* itemInterface = "org.kde.StatusNotifierItem";
constexpr const char* itemPath = "/StatusNotifierItem";
constexpr const char* menuPath = "/MenuBar"; // where MenuExport serves the menu
constexpr const char* kdeSettingsInterface = "org.kde.KGlobalSettings";
constexpr int kdePaletteChanged = 0; // KGlobalSettings::PaletteChanged
constexpr const char* xfconfInterface = "org.xfce.Xfconf";

// Whether `signal` says the panel's colours changed: Plasma's colour scheme,
// the GTK theme xfce's settings daemon hands out, or xfce4-panel's dark mode.
bool coloursChanged(DBusMessage* signal) {
    bus::Reader in(signal);
    if (dbus_message_is_signal(signal, kdeSettingsInterface, "notifyChange"))
        return in.readInt() == kdePaletteChanged;
    if (!dbus_message_is_signal(signal, xfconfInterface, "PropertyChanged"))
        return false;
    const QString channel = in.readString();
    const QString property = in.readString();
    return (channel == QLatin1String("xsettings") && property == QLatin1String("/Net/ThemeName")) ||
           (channel == QLatin1String("xfce4-panel") && property.endsWith(QLatin1String("/dark-mode")));
}

// The object's own interface; the bus connection adds the standard ones.
const QString interfaceXml = QStringLiteral(R"xml(  <interface name="org.kde.StatusNotifierItem">
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="IconThemePath" type="s" access="read"/>
    <property name="Menu" type="o" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="OverlayIconName" type="s" access="read"/>
    <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionIconName" type="s" access="read"/>
    <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionMovieName" type="s" access="read"/>
    <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
    <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
    <method name="ProvideXdgActivationToken"><arg name="token" type="s" direction="in"/></method>
    <signal name="NewTitle"/>
    <signal name="NewIcon"/>
    <signal name="NewAttentionIcon"/>
    <signal name="NewOverlayIcon"/>
    <signal name="NewToolTip"/>
    <signal name="NewStatus"><arg name="status" type="s"/></signal>
    <signal name="NewMenu"/>
  </interface>
)xml");

// One property of the item: its name, its signature, how its value is written.
struct ItemProperty {
    const char* name;
    const char* signature;
    std::function<void(DBusMessageIter*)> write;
};

void putProperty(DBusMessageIter* it, const ItemProperty& property) {
    DBusMessageIter v;
    dbus_message_iter_open_container(it, DBUS_TYPE_VARIANT, property.signature, &v);
    property.write(&v);
    dbus_message_iter_close_container(it, &v);
}

} // namespace

ItemService::ItemService(BusConnection& bus, TrayState& state, const QString& serviceName, QObject* parent)
    : QObject(parent), bus_(bus), state_(state), serviceName_(serviceName), retry_(new QTimer(this)),
      recolour_(new QTimer(this)) {
    retry_->setSingleShot(true);
    connect(retry_, &QTimer::timeout, this, &ItemService::registerWithWatcher);
    recolour_->setSingleShot(true);
    recolour_->setInterval(recolourAfter);
    connect(recolour_, &QTimer::timeout, this, &ItemService::announceRecoloured);
    bus_.registerObject(QString::fromLatin1(itemPath), interfaceXml,
                        [this](DBusMessage* call) { handle(call); });
    // The name first: the daemon takes a connection's messages in order, so
    // the watcher finds it owned when the registration reaches it.
    BusMessage request = methodCall(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "RequestName");
    bus::append(request.get(), serviceName_, 0u);
    bus_.send(request);

    // A watcher that comes, goes or is replaced (a panel starting late or
    // restarting), what a watcher says of its items and hosts, and a change
    // of the panel's colours.
    bus_.onSignal([this](DBusMessage* signal) { busSignal(signal); });
    bus_.addMatch(
        QStringLiteral("type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                       "member='NameOwnerChanged',arg0='%1'")
            .arg(QString::fromLatin1(watcherService)));
    bus_.addMatch(QStringLiteral("type='signal',interface='%1',path='%2'")
                      .arg(QString::fromLatin1(watcherService), QString::fromLatin1(watcherPath)));
    bus_.addMatch(QStringLiteral("type='signal',interface='%1',path='/KGlobalSettings',member='notifyChange'")
                      .arg(QString::fromLatin1(kdeSettingsInterface)));
    bus_.addMatch(QStringLiteral("type='signal',interface='%1',member='PropertyChanged'")
                      .arg(QString::fromLatin1(xfconfInterface)));
}

void ItemService::start() {
    started_ = true;
    BusMessage hasOwner = methodCall(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "NameHasOwner");
    bus::append(hasOwner.get(), QString::fromLatin1(watcherService));
    bus_.call(hasOwner, callTimeoutMs, [this, generation = watcherGeneration_](DBusMessage* reply) {
        // A watcher that came (or went) meanwhile has been dealt with; a
        // second registration would only make the panel read the item twice.
        if (generation != watcherGeneration_)
            return;
        dbus_bool_t owned = FALSE;
        if (!isError(reply))
            dbus_message_get_args(reply, nullptr, DBUS_TYPE_BOOLEAN, &owned, DBUS_TYPE_INVALID);
        if (owned)
            watcherAppeared();
        else if (!registered_)
            setRegistered(false);
    });
}

void ItemService::hostOpened(const QString& host) {
    if (openedBy_.size() > 64)
        openedBy_.clear(); // hosts come and go; a handful at a time
    openedBy_[host] = std::chrono::steady_clock::now();
}

void ItemService::hostReadMenu(const QString& host) {
    if (menuReaders_.size() > 64)
        menuReaders_.clear();
    menuReaders_.insert(host);
}

void ItemService::iconChanged() {
    emitSignal("NewIcon");
}

void ItemService::toolTipChanged() {
    emitSignal("NewToolTip");
}

void ItemService::emitSignal(const char* name) {
    bus_.send(BusMessage::adopt(dbus_message_new_signal(itemPath, itemInterface, name)));
}

void ItemService::handle(DBusMessage* call) {
    const auto is = [call](const char* interface, const char* method, const char* signature) {
        return dbus_message_is_method_call(call, interface, method) &&
               dbus_message_has_signature(call, signature);
    };
    const auto replyWith = [&](const std::function<void(DBusMessageIter*)>& fill) {
        if (dbus_message_get_no_reply(call))
            return;
        DBusMessage* reply = dbus_message_new_method_return(call);
        DBusMessageIter it;
        dbus_message_iter_init_append(reply, &it);
        fill(&it);
        bus_.send(BusMessage::adopt(reply));
    };
    const auto noIcon = [](DBusMessageIter* it) { bus::put(it, TrayPixmaps()); };
    const TrayState::Icon icon = state_.icon();
    const auto text = [](const char* value) {
        return [value](DBusMessageIter* it) { bus::put(it, QString::fromUtf8(value)); };
    };
    const std::vector<ItemProperty> properties{
        {"Category", "s", text("ApplicationStatus")},
        {"Id", "s", text("veldrin")},
        {"Title", "s", text("Veldrin")},
        {"Status", "s", text("Active")},
        {"WindowId", "i", [](DBusMessageIter* it) { bus::put(it, 0); }},
        {"IconThemePath", "s", [&icon](DBusMessageIter* it) { bus::put(it, icon.themePath); }},
        {"Menu", "o",
         [](DBusMessageIter* it) { dbus_message_iter_append_basic(it, DBUS_TYPE_OBJECT_PATH, &menuPath); }},
        {"ItemIsMenu", "b", [](DBusMessageIter* it) { bus::put(it, true); }},
        {"IconName", "s", [&icon](DBusMessageIter* it) { bus::put(it, icon.name); }},
        {"IconPixmap", "a(iiay)", [&icon](DBusMessageIter* it) { bus::put(it, icon.pixmaps); }},
        {"OverlayIconName", "s", text("")},
        {"OverlayIconPixmap", "a(iiay)", noIcon},
        {"AttentionIconName", "s", text("")},
        {"AttentionIconPixmap", "a(iiay)", noIcon},
        {"AttentionMovieName", "s", text("")},
        {"ToolTip", "(sa(iiay)ss)", [&icon](DBusMessageIter* it) { bus::put(it, icon.toolTip); }},
    };
    bus::Reader in(call);
    if (is(DBUS_INTERFACE_PROPERTIES, "GetAll", "s")) {
        const bool ours = in.readString() == QLatin1String(itemInterface);
        // Every host reads the item's properties when it takes the item.
        readSinceRegistering_ = readSinceRegistering_ || ours;
        replyWith([&](DBusMessageIter* it) {
            DBusMessageIter a;
            dbus_message_iter_open_container(it, DBUS_TYPE_ARRAY, "{sv}", &a);
            for (const ItemProperty& p : properties) {
                if (!ours)
                    break;
                DBusMessageIter entry;
                dbus_message_iter_open_container(&a, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
                dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &p.name);
                putProperty(&entry, p);
                dbus_message_iter_close_container(&a, &entry);
            }
            dbus_message_iter_close_container(it, &a);
        });
    } else if (is(DBUS_INTERFACE_PROPERTIES, "Get", "ss")) {
        const QString interface = in.readString();
        const QByteArray name = in.readString().toUtf8();
        const auto p = std::find_if(properties.begin(), properties.end(),
                                    [&](const ItemProperty& candidate) { return name == candidate.name; });
        if (interface != QLatin1String(itemInterface) || p == properties.end())
            return bus_.replyError(call, DBUS_ERROR_UNKNOWN_PROPERTY,
                                   QStringLiteral("no property ") + QString::fromUtf8(name));
        readSinceRegistering_ = true;
        replyWith([&](DBusMessageIter* it) { putProperty(it, *p); });
    } else if (is(DBUS_INTERFACE_PROPERTIES, "Set", "ssv")) {
        bus_.replyError(call, DBUS_ERROR_PROPERTY_READ_ONLY,
                        QStringLiteral("the item's properties are read-only"));
    } else if (is(itemInterface, "ContextMenu", "ii")) {
        const int x = in.readInt();
        const int y = in.readInt();
        replyWith([](DBusMessageIter*) {});
        Q_EMIT popupRequested(QPoint(x, y));
    } else if (is(itemInterface, "Activate", "ii")) {
        // The item is its menu: a host that activates it all the same (Plasma
        // does, on a left click) opens the menu when told the item cannot be.
        bus_.replyError(call, DBUS_ERROR_NOT_SUPPORTED,
                        QStringLiteral("Veldrin's item is a menu; open its menu instead"));
        const int x = in.readInt();
        const int y = in.readInt();
        activated(QString::fromUtf8(dbus_message_get_sender(call)), QPoint(x, y));
    } else if (is(itemInterface, "SecondaryActivate", "ii") || is(itemInterface, "Scroll", "is") ||
               is(itemInterface, "ProvideXdgActivationToken", "s")) {
        replyWith([](DBusMessageIter*) {});
    } else {
        bus_.replyError(call, DBUS_ERROR_UNKNOWN_METHOD,
                        QStringLiteral("no method %1 with signature %2")
                            .arg(QString::fromUtf8(dbus_message_get_member(call)),
                                 QString::fromUtf8(dbus_message_get_signature(call))));
    }
}

// Some hosts activate the item on a left click and do nothing more (LXQt's
// panel); others open the menu themselves when told it cannot be activated
// (Plasma), or had opened it just before (GNOME's, on a double click). The
// menu opens either way: Veldrin's own, unless the host opened its menu.
void ItemService::activated(const QString& host, QPoint at) {
    if (activationPending_)
        return;
    activationPending_ = true;
    const auto when = std::chrono::steady_clock::now();
    QTimer::singleShot(hostMenuWait, this, [this, host, at, when] {
        activationPending_ = false;
        const auto opened = openedBy_.constFind(host);
        if (opened != openedBy_.cend() && *opened >= when - std::chrono::seconds(1))
            return;
        if (menuReaders_.contains(host))
            Q_EMIT popupRequested(at);
        else
            Q_EMIT menuUnreachable(at);
    });
}

void ItemService::busSignal(DBusMessage* signal) {
    bus::Reader in(signal);
    if (coloursChanged(signal)) {
        if (!state_.icon().name.isEmpty())
            recolour_->start(); // a burst of changes makes one announcement
    } else if (dbus_message_is_signal(signal, DBUS_INTERFACE_DBUS, "NameOwnerChanged")) {
        const QString name = in.readString();
        in.readString();
        const QString owner = in.readString();
        if (name != QLatin1String(watcherService) || !started_)
            return;
        ++watcherGeneration_;
        retry_->stop();
        retryAfter_ = confirmAfter;
        hostRegistered_.reset();
        dropped_ = false;
        if (owner.isEmpty())
            setRegistered(false);
        else
            registerWithWatcher();
    } else if (dbus_message_is_signal(signal, watcherService, "StatusNotifierItemUnregistered")) {
        // A host that drops the item again says so; the item then registers
        // anew. The watcher is read as well: the retry keeps the confirmation
        // from doing it, and a tray that drops the icon is a tray all the same.
        if (listsThisItem({in.readString()})) {
            dropped_ = true; // held no longer, until a registration is confirmed
            registerAgainLater(watcherGeneration_, QStringLiteral("the tray dropped Veldrin's icon"));
            readWatcher(watcherGeneration_, [](const QVariantMap&) {});
        }
    } else if (dbus_message_is_signal(signal, watcherService, "StatusNotifierHostRegistered")) {
        hostRegistered_ = true;
        reportState();
        if (registered_ == true && !confirmed_ && !retry_->isActive())
            registerWithWatcher();
    }
}

// Plasma and xfce4-panel draw an icon they found by name in the colours of
// the panel as it was then, until the item says its icon is new; xfce4-panel
// only when the properties it compares differ. The unseen colour of a
// transparent corner of each picture does.
void ItemService::announceRecoloured() {
    bool named = false;
    state_.changeIcon([&](TrayState::Icon& icon) {
        named = !icon.name.isEmpty();
        for (TrayPixmap& pixmap : icon.pixmaps) {
            if (named && pixmap.argb.size() >= 4 && pixmap.argb[0] == 0)
                pixmap.argb[3] = static_cast<char>(pixmap.argb[3] ^ 1);
        }
    });
    if (named)
        emitSignal("NewIcon");
}

} // namespace veldrin
