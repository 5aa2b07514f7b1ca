#pragma once

// A private libdbus connection to the session bus, driven by the Qt event
// loop on the main thread. The tray item and its menu live here rather than
// on QtDBus's shared connection: QtDBus turns every string array a client
// sends into a QStringList on its one bus thread before anyone looks at it,
// so a request of a million names costs hundreds of milliseconds and tens of
// megabytes whatever the answer, and holds up every other call meanwhile.
// Here a request is read in place, as far as its answer needs.
//
// The socket is read a little per turn of the event loop and one message is
// dispatched per turn. StatusNotifierItem runs one in a thread of its own.

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QTimer;
struct DBusConnection;
struct DBusMessage;
struct DBusPendingCall;

namespace veldrin {

// A reference to a libdbus message, released with the object.
class BusMessage {
public:
    BusMessage() = default;
    // Takes over a reference the caller holds (a new message, say).
    static BusMessage adopt(DBusMessage* message);
    // Adds a reference of its own.
    static BusMessage ref(DBusMessage* message);
    BusMessage(const BusMessage& other);
    BusMessage& operator=(BusMessage other);
    ~BusMessage();
    DBusMessage* get() const { return message_; }
    explicit operator bool() const { return message_ != nullptr; }

private:
    DBusMessage* message_ = nullptr;
};

BusMessage methodCall(const char* service, const char* path, const char* interface, const char* method);
// Whether `reply` is an error, or none at all.
bool isError(DBusMessage* reply);
// What an error reply says, or its name.
QString errorText(DBusMessage* reply);

class BusConnection : public QObject {
    Q_OBJECT
public:
    // Opens a private connection to the bus at `address` (a D-Bus address);
    // none, with `error` saying why, when it cannot.
    static std::unique_ptr<BusConnection> open(const QByteArray& address, QString* error);
    ~BusConnection() override;

    QString uniqueName() const;

    // Method calls to `path` (and nothing below it) go to `handler`, which
    // answers them with send(), Properties' Get and GetAll included.
    // Introspection is answered here: `interfaceXml` describes the object's
    // own interfaces, to which Properties and Introspectable are added; the
    // folders above registered paths list what is below them.
    using CallHandler = std::function<void(DBusMessage* call)>;
    void registerObject(const QString& path, const QString& interfaceXml, CallHandler handler);
    // Every signal the bus delivers goes to `handler`.
    void onSignal(std::function<void(DBusMessage* signal)> handler) { signalHandler_ = std::move(handler); }

    void send(const BusMessage& message);
    // Sends `call`; `reply` gets its answer (a reply or an error) on the main
    // thread, or an error of libdbus's own when the timeout passes. Dropped
    // with the connection.
    void call(const BusMessage& call, int timeoutMs, std::function<void(DBusMessage* reply)> reply);
    // Asks the bus for `rule`'s signals; no answer is waited for.
    void addMatch(const QString& rule);

    // Answers `call` with an error.
    void replyError(DBusMessage* call, const char* name, const QString& why);

private:
    explicit BusConnection(DBusConnection* connection);
    void scheduleDispatch();
    void dispatchOne();
    static unsigned handleObject(DBusConnection*, DBusMessage* message, void* self);
    static unsigned filter(DBusConnection*, DBusMessage* message, void* self);
    static void replied(DBusPendingCall* pending, void* self);

    DBusConnection* connection_;
    bool dispatchScheduled_ = false;
    QTimer* trim_;
    QHash<QString, std::pair<QString, CallHandler>> objects_; // path -> introspection XML, handler
    std::function<void(DBusMessage*)> signalHandler_;
    QHash<DBusPendingCall*, std::function<void(DBusMessage*)>> pending_;

    struct Watches;
    std::unique_ptr<Watches> watches_;
};

} // namespace veldrin
