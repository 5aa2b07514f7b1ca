#include "support/SessionBus.h"

#include "exec/Spawn.h"
#include "support/TestSupport.h"

#include <QStandardPaths>

#include <csignal>
#include <unistd.h>

namespace veldrin::test {

SessionBus::SessionBus() {
    // A bus of the test's own, and nothing on it that the test did not put
    // there: no service is started on demand from what the machine has
    // installed (a notification daemon, say).
    config_.open();
    config_.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                  " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                  "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                  "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                  "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
                  // The session bus's own limits (/usr/share/dbus-1/session.conf).
                  "<limit name=\"max_incoming_bytes\">1000000000</limit>"
                  "<limit name=\"max_outgoing_bytes\">1000000000</limit>"
                  "<limit name=\"max_message_size\">1000000000</limit></busconfig>\n");
    config_.flush();
    const SpawnResult bus =
        spawnWithPipe({QStandardPaths::findExecutable("dbus-daemon"), "--config-file=" + config_.fileName(),
                       "--nofork", "--print-address=1"});
    daemon_ = bus.pid;
    output_ = bus.readFd;
    address_ = bus.started() ? firstLine(bus.readFd) : QString();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
    services_.start();
}

SessionBus::~SessionBus() {
    services_.quit();
    services_.wait();
    // The next test's bus gets connections of its own under the same names.
    for (const QString& name : served_)
        QDBusConnection::disconnectFromBus(name);
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (daemon_ > 0) {
        ::kill(daemon_, SIGTERM);
        waitForExit(daemon_);
        ::close(output_);
    }
}

bool SessionBus::serve(QObject* service, const QString& name, const QString& path) {
    service->moveToThread(&services_);
    served_ << name;
    QDBusConnection bus = QDBusConnection::connectToBus(address_, name);
    return bus.registerObject(path, service,
                              QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) &&
           bus.registerService(name);
}

QDBusConnection SessionBus::client(const QString& name) {
    served_ << name;
    return QDBusConnection::connectToBus(address_, name);
}

} // namespace veldrin::test
