#include "platform/linux/BusConnection.h"

#include <QSocketNotifier>
#include <QTimer>

#include <dbus/dbus.h>

#include <map>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace veldrin {

BusMessage BusMessage::adopt(DBusMessage* message) {
    BusMessage m;
    m.message_ = message;
    return m;
}

BusMessage BusMessage::ref(DBusMessage* message) {
    return adopt(message ? dbus_message_ref(message) : nullptr);
}

BusMessage methodCall(const char* service, const char* path, const char* interface, const char* method) {
    return BusMessage::adopt(dbus_message_new_method_call(service, path, interface, method));
}

bool isError(DBusMessage* reply) {
    return !reply || dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_ERROR;
}

QString errorText(DBusMessage* reply) {
    if (!reply)
        return QStringLiteral("the bus is gone");
    const char* text = nullptr;
    if (dbus_message_get_args(reply, nullptr, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID) && text && *text)
        return QString::fromUtf8(text);
    return QString::fromUtf8(dbus_message_get_error_name(reply));
}

BusMessage::BusMessage(const BusMessage& other) : message_(other.message_) {
    if (message_)
        dbus_message_ref(message_);
}

BusMessage& BusMessage::operator=(BusMessage other) {
    std::swap(message_, other.message_);
    return *this;
}

BusMessage::~BusMessage() {
    if (message_)
        dbus_message_unref(message_);
}

// libdbus's watches as socket notifiers, its timeouts as timers.
struct BusConnection::Watches {
    static constexpr int readsPerTurn = 16;
    struct Notifiers {
        std::unique_ptr<QSocketNotifier> read;
        std::unique_ptr<QSocketNotifier> write;
    };
    BusConnection* owner = nullptr;
    std::map<DBusWatch*, Notifiers> watches;
    std::map<DBusTimeout*, std::unique_ptr<QTimer>> timeouts;

    void arm(DBusWatch* watch) {
        Notifiers& n = watches[watch];
        const bool enabled = dbus_watch_get_enabled(watch);
        if (n.read)
            n.read->setEnabled(enabled);
        if (n.write)
            n.write->setEnabled(enabled);
    }

    static dbus_bool_t add(DBusWatch* watch, void* data) {
        auto* self = static_cast<Watches*>(data);
        const int fd = dbus_watch_get_unix_fd(watch);
        const unsigned flags = dbus_watch_get_flags(watch);
        Notifiers& n = self->watches[watch];
        const auto make = [&](QSocketNotifier::Type type, unsigned condition) {
            auto notifier = std::make_unique<QSocketNotifier>(fd, type);
            QObject::connect(notifier.get(), &QSocketNotifier::activated, self->owner,
                             [self, watch, condition] {
                                 // libdbus moves 4 KiB a call: a few calls a turn keep a huge
                                 // message from taking thousands of turns, and a turn short.
                                 for (int i = 0; i < readsPerTurn; ++i) {
                                     // The watch may have gone, here or while this was queued.
                                     if (!self->watches.count(watch) || !dbus_watch_get_enabled(watch))
                                         break;
                                     dbus_watch_handle(watch, condition);
                                 }
                                 self->owner->scheduleDispatch();
                             });
            return notifier;
        };
        if (flags & DBUS_WATCH_READABLE)
            n.read = make(QSocketNotifier::Read, DBUS_WATCH_READABLE);
        if (flags & DBUS_WATCH_WRITABLE)
            n.write = make(QSocketNotifier::Write, DBUS_WATCH_WRITABLE);
        self->arm(watch);
        return TRUE;
    }
    static void remove(DBusWatch* watch, void* data) {
        auto* self = static_cast<Watches*>(data);
        const auto it = self->watches.find(watch);
        if (it == self->watches.end())
            return;
        // Possibly inside the notifier's own signal: released once it has
        // returned, and off at once, as its descriptor may be closed next.
        for (auto* notifier : {&it->second.read, &it->second.write}) {
            if (*notifier) {
                (*notifier)->setEnabled(false);
                notifier->release()->deleteLater();
            }
        }
        self->watches.erase(it);
    }
    static void toggle(DBusWatch* watch, void* data) { static_cast<Watches*>(data)->arm(watch); }

    static dbus_bool_t addTimeout(DBusTimeout* timeout, void* data) {
        auto* self = static_cast<Watches*>(data);
        auto timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, self->owner, [self, timeout] {
            if (self->timeouts.count(timeout)) {
                dbus_timeout_handle(timeout);
                self->owner->scheduleDispatch();
            }
        });
        self->timeouts[timeout] = std::move(timer);
        toggleTimeout(timeout, data);
        return TRUE;
    }
    static void removeTimeout(DBusTimeout* timeout, void* data) {
        auto* self = static_cast<Watches*>(data);
        const auto it = self->timeouts.find(timeout);
        if (it == self->timeouts.end())
            return;
        it->second.release()->deleteLater();
        self->timeouts.erase(it);
    }
    static void toggleTimeout(DBusTimeout* timeout, void* data) {
        auto* self = static_cast<Watches*>(data);
        const auto it = self->timeouts.find(timeout);
        if (it == self->timeouts.end())
            return;
        if (dbus_timeout_get_enabled(timeout))
            it->second->start(dbus_timeout_get_interval(timeout));
        else
            it->second->stop();
    }
};

std::unique_ptr<BusConnection> BusConnection::open(const QByteArray& address, QString* error) {
    DBusError e;
    dbus_error_init(&e);
    DBusConnection* connection = dbus_connection_open_private(address.constData(), &e);
    if (connection && !dbus_bus_register(connection, &e)) {
        dbus_connection_close(connection);
        dbus_connection_unref(connection);
        connection = nullptr;
    }
    if (!connection) {
        *error = QString::fromUtf8(e.message ? e.message : "no session bus");
        dbus_error_free(&e);
        return nullptr;
    }
    return std::unique_ptr<BusConnection>(new BusConnection(connection));
}

BusConnection::BusConnection(DBusConnection* connection)
    : connection_(connection), trim_(new QTimer(this)), watches_(std::make_unique<Watches>()) {
    trim_->setSingleShot(true);
    trim_->setInterval(std::chrono::seconds(1));
#if defined(__GLIBC__)
    connect(trim_, &QTimer::timeout, this, [] { malloc_trim(0); });
#endif
    watches_->owner = this;
    dbus_connection_set_exit_on_disconnect(connection_, FALSE);
    dbus_connection_set_watch_functions(connection_, &Watches::add, &Watches::remove, &Watches::toggle,
                                        watches_.get(), nullptr);
    dbus_connection_set_timeout_functions(connection_, &Watches::addTimeout, &Watches::removeTimeout,
                                          &Watches::toggleTimeout, watches_.get(), nullptr);
    dbus_connection_set_dispatch_status_function(
        connection_,
        [](DBusConnection*, DBusDispatchStatus status, void* self) {
            if (status == DBUS_DISPATCH_DATA_REMAINS)
                static_cast<BusConnection*>(self)->scheduleDispatch();
        },
        this, nullptr);
    dbus_connection_add_filter(
        connection_,
        [](DBusConnection* c, DBusMessage* m, void* self) { return DBusHandlerResult(filter(c, m, self)); },
        this, nullptr);
    static const DBusObjectPathVTable vtable{nullptr,
                                             [](DBusConnection* c, DBusMessage* m, void* self) {
                                                 return DBusHandlerResult(handleObject(c, m, self));
                                             },
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             nullptr};
    dbus_connection_register_fallback(connection_, "/", &vtable, this);
    scheduleDispatch();
}

BusConnection::~BusConnection() {
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
        dbus_pending_call_cancel(it.key());
        dbus_pending_call_unref(it.key());
    }
    pending_.clear();
    dbus_connection_unregister_object_path(connection_, "/");
    dbus_connection_close(connection_);
    // Closing hands the watches back; what is left of them goes with Watches.
    dbus_connection_set_watch_functions(connection_, nullptr, nullptr, nullptr, nullptr, nullptr);
    dbus_connection_set_timeout_functions(connection_, nullptr, nullptr, nullptr, nullptr, nullptr);
    dbus_connection_unref(connection_);
}

QString BusConnection::uniqueName() const {
    return QString::fromUtf8(dbus_bus_get_unique_name(connection_));
}

namespace {

QString introspectionNode(const QString& body) {
    return QStringLiteral("<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection 1.0//EN\" "
                          "\"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd\">\n<node>\n") +
           body + QStringLiteral("</node>\n");
}

const QString standardInterfaces = QStringLiteral(R"xml(  <interface name="org.freedesktop.DBus.Properties">
    <method name="Get"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/></method>
    <method name="GetAll"><arg type="s" direction="in"/><arg type="a{sv}" direction="out"/></method>
  </interface>
  <interface name="org.freedesktop.DBus.Introspectable">
    <method name="Introspect"><arg type="s" direction="out"/></method>
  </interface>
)xml");

} // namespace

void BusConnection::registerObject(const QString& path, const QString& interfaceXml, CallHandler handler) {
    objects_.insert(path, {introspectionNode(interfaceXml + standardInterfaces), std::move(handler)});
}

void BusConnection::send(const BusMessage& message) {
    if (message)
        dbus_connection_send(connection_, message.get(), nullptr);
}

void BusConnection::call(const BusMessage& call, int timeoutMs, std::function<void(DBusMessage*)> reply) {
    DBusPendingCall* pending = nullptr;
    if (!call || !dbus_connection_send_with_reply(connection_, call.get(), &pending, timeoutMs) || !pending) {
        // Disconnected: the answer is that there is none.
        QTimer::singleShot(0, this, [reply = std::move(reply)] { reply(nullptr); });
        return;
    }
    pending_.insert(pending, std::move(reply));
    dbus_pending_call_set_notify(pending, &BusConnection::replied, this, nullptr);
}

void BusConnection::replied(DBusPendingCall* pending, void* data) {
    auto* self = static_cast<BusConnection*>(data);
    const auto handler = self->pending_.take(pending);
    const BusMessage reply = BusMessage::adopt(dbus_pending_call_steal_reply(pending));
    dbus_pending_call_unref(pending);
    if (handler)
        handler(reply.get());
}

void BusConnection::addMatch(const QString& rule) {
    // Without an error to fill, libdbus sends the request and waits for nothing.
    dbus_bus_add_match(connection_, rule.toUtf8().constData(), nullptr);
}

void BusConnection::replyError(DBusMessage* call, const char* name, const QString& why) {
    if (dbus_message_get_no_reply(call))
        return;
    send(BusMessage::adopt(dbus_message_new_error(call, name, why.toUtf8().constData())));
}

void BusConnection::scheduleDispatch() {
    if (dispatchScheduled_)
        return;
    dispatchScheduled_ = true;
    QTimer::singleShot(0, this, &BusConnection::dispatchOne);
}

void BusConnection::dispatchOne() {
    dispatchScheduled_ = false;
    // One message a turn: whatever else the event loop has comes in between.
    if (dbus_connection_dispatch(connection_) == DBUS_DISPATCH_DATA_REMAINS)
        scheduleDispatch();
#if defined(__GLIBC__)
    // A message of many megabytes leaves its pages with the allocator, which
    // keeps them: handed back a second after the traffic, once a second at most.
    if (!trim_->isActive())
        trim_->start();
#endif
}

unsigned BusConnection::filter(DBusConnection*, DBusMessage* message, void* data) {
    auto* self = static_cast<BusConnection*>(data);
    if (dbus_message_get_type(message) == DBUS_MESSAGE_TYPE_SIGNAL && self->signalHandler_)
        self->signalHandler_(message);
    return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
}

unsigned BusConnection::handleObject(DBusConnection*, DBusMessage* message, void* data) {
    auto* self = static_cast<BusConnection*>(data);
    if (dbus_message_get_type(message) != DBUS_MESSAGE_TYPE_METHOD_CALL)
        return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
    const QString path = QString::fromUtf8(dbus_message_get_path(message));
    const bool introspect = dbus_message_is_method_call(message, DBUS_INTERFACE_INTROSPECTABLE, "Introspect");
    const auto object = self->objects_.constFind(path);
    if (object != self->objects_.cend()) {
        if (introspect) {
            const QByteArray xml = object->first.toUtf8();
            const char* text = xml.constData();
            DBusMessage* reply = dbus_message_new_method_return(message);
            dbus_message_append_args(reply, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID);
            self->send(BusMessage::adopt(reply));
        } else {
            object->second(message);
        }
        return DBUS_HANDLER_RESULT_HANDLED;
    }
    // A folder above the objects: lists what is below it.
    const QString prefix = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    QStringList nodes;
    for (auto it = self->objects_.cbegin(); it != self->objects_.cend(); ++it) {
        if (it.key().startsWith(prefix))
            nodes << it.key().mid(prefix.size()).section(QLatin1Char('/'), 0, 0);
    }
    if (nodes.isEmpty() || !introspect) {
        self->replyError(message, DBUS_ERROR_UNKNOWN_OBJECT, QStringLiteral("No object at ") + path);
        return DBUS_HANDLER_RESULT_HANDLED;
    }
    nodes.removeDuplicates();
    QString children;
    for (const QString& node : nodes)
        children += QStringLiteral("  <node name=\"%1\"/>\n").arg(node);
    const QByteArray bytes = introspectionNode(children).toUtf8();
    const char* text = bytes.constData();
    DBusMessage* reply = dbus_message_new_method_return(message);
    dbus_message_append_args(reply, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID);
    self->send(BusMessage::adopt(reply));
    return DBUS_HANDLER_RESULT_HANDLED;
}

} // namespace veldrin
