#pragma once

// A private session bus for one test: a dbus-daemon of its own, named in
// DBUS_SESSION_BUS_ADDRESS while the object lives, and stand-in services on
// it that answer from a thread of their own, so that a blocking call from the
// main thread gets its answer.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <QThread>

#include <sys/types.h>

namespace veldrin::test {

class SessionBus {
public:
    SessionBus();
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    bool ok() const { return !address_.isEmpty(); }
    QString address() const { return address_; }
    // Exports `service`'s slots at `path` under `name`, answered on the bus's service thread.
    bool serve(QObject* service, const QString& name, const QString& path);
    // A connection of the test's own, named `name`, closed with the bus.
    QDBusConnection client(const QString& name);

private:
    QTemporaryFile config_;
    pid_t daemon_ = -1;
    int output_ = -1;
    QString address_;
    QThread services_;
    QStringList served_;
};

} // namespace veldrin::test
