// What a same-user program flooding Veldrin's exported menu costs Veldrin.
// On a private session bus (with the session bus's own limits), Veldrin runs
// offscreen in a throw-away home whose controller takes 1.5 s to list the
// apps. Each request kind in turn is sent over and over from two connections
// for a few seconds (tests/support/MenuFlood.h: AboutToShow(0); GetLayout
// with a million property names; GetGroupProperties with a million ids;
// GetProperty; "clicked" on Quit All ChatGPT Processes…, which asks first;
// EventGroup with a million events), while a third connection asks the menu
// object for its Version property every 100 ms, as a panel would.
//
// The same floods go, in the same run, to a baseline: a minimal libdbus
// server that answers the same calls by reading only what it needs, so that
// the figures can be told apart from what the bus and the flooding client
// cost on this machine. And once more to the same item code in this process
// (StatusNotifierItem, with a status menu of the usual size), whose event
// loop a 5 ms timer watches: the longest gap between its ticks is the
// longest the main thread was held.
//
// Targets: every probe answered within 300 ms, Veldrin alive, and its
// resident set less than 60 MB above where the flood found it.
//
// Usage: bench_menu_flood [--seconds=N]   (default 5)
// Exit status 1 when a target is missed.

#include "support/MenuFlood.h"
#include "support/SessionBus.h"

#include "exec/Spawn.h"
#include "platform/linux/StatusNotifierItem.h"
#include "platform/linux/TrayTypes.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <dbus/dbus.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

using namespace veldrin;

namespace {

// The baseline: answers with the least each call needs, reading arrays no
// further than Veldrin does.
DBusHandlerResult baseline(DBusConnection* c, DBusMessage* m, void*) {
    if (dbus_message_get_type(m) != DBUS_MESSAGE_TYPE_METHOD_CALL)
        return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
    DBusMessage* reply = dbus_message_new_method_return(m);
    DBusMessageIter it;
    dbus_message_iter_init_append(reply, &it);
    if (dbus_message_is_method_call(m, DBUS_INTERFACE_PROPERTIES, "Get")) {
        DBusMessageIter v;
        dbus_message_iter_open_container(&it, DBUS_TYPE_VARIANT, "u", &v);
        const dbus_uint32_t version = 3;
        dbus_message_iter_append_basic(&v, DBUS_TYPE_UINT32, &version);
        dbus_message_iter_close_container(&it, &v);
    } else if (dbus_message_is_method_call(m, "com.canonical.dbusmenu", "AboutToShow")) {
        const dbus_bool_t update = TRUE;
        dbus_message_iter_append_basic(&it, DBUS_TYPE_BOOLEAN, &update);
    } else if (!dbus_message_is_method_call(m, "com.canonical.dbusmenu", "Event")) {
        // GetLayout, GetGroupProperties, GetProperty, EventGroup: the first
        // array is walked as far as Veldrin walks it, and an empty answer given.
        DBusMessageIter in;
        if (dbus_message_iter_init(m, &in)) {
            while (dbus_message_iter_get_arg_type(&in) != DBUS_TYPE_ARRAY &&
                   dbus_message_iter_get_arg_type(&in) != DBUS_TYPE_INVALID)
                dbus_message_iter_next(&in);
            if (dbus_message_iter_get_arg_type(&in) == DBUS_TYPE_ARRAY) {
                DBusMessageIter a;
                dbus_message_iter_recurse(&in, &a);
                for (int n = 0; n < 4096 && dbus_message_iter_get_arg_type(&a) != DBUS_TYPE_INVALID; ++n)
                    dbus_message_iter_next(&a);
            }
        }
        const dbus_uint32_t nothing = 0;
        dbus_message_iter_append_basic(&it, DBUS_TYPE_UINT32, &nothing);
    }
    dbus_connection_send(c, reply, nullptr);
    dbus_message_unref(reply);
    return DBUS_HANDLER_RESULT_HANDLED;
}

pid_t startBaseline(const QString& address, const QString& name) {
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    DBusError e;
    dbus_error_init(&e);
    DBusConnection* c = dbus_connection_open_private(address.toUtf8().constData(), &e);
    if (!c || !dbus_bus_register(c, &e))
        _exit(1);
    dbus_bus_request_name(c, name.toUtf8().constData(), 0, &e);
    dbus_connection_add_filter(c, baseline, nullptr, nullptr);
    while (dbus_connection_read_write_dispatch(c, -1)) {
    }
    _exit(0);
}

// The id of Quit All ChatGPT Processes… in the menu, as a panel finds it.
int quitAllId(const QDBusConnection& bus, const QString& service) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, "/MenuBar", "com.canonical.dbusmenu", "GetLayout");
    call << 0 << 1 << QStringList{"label"};
    const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
    registerTrayTypes();
    const auto layout = qdbus_cast<DBusMenuLayout>(reply.arguments().value(1).value<QDBusArgument>());
    for (const DBusMenuLayout& entry : layout.children) {
        if (entry.properties.value("label").toString() == QStringLiteral("Quit All ChatGPT Processes…"))
            return entry.id;
    }
    return 0;
}

// A delegate with a menu of the status menu's size: 28 entries, two submenus.
struct Menu28 : MenuDelegate {
    void menuWillOpen(StatusMenu& menu) override { rebuildMenu(menu); }
    void menuOpening() override {}
    void rebuildMenu(StatusMenu& menu) override {
        std::vector<MenuEntry> sub;
        for (int i = 0; i < 13; ++i)
            sub.push_back(MenuEntry::info(QStringLiteral("Line %1").arg(i)));
        std::vector<MenuEntry> top;
        for (int i = 0; i < 24; ++i)
            top.push_back(MenuEntry::item(i == 17 ? QStringLiteral("Quit All ChatGPT Processes…")
                                                  : QStringLiteral("Entry %1").arg(i),
                                          Action(1 + i), true));
        top.push_back(MenuEntry::holder(QStringLiteral("Cloud"), {QStringLiteral("Cloud"), sub}));
        top.push_back(MenuEntry::holder(QStringLiteral("Tools"), {QStringLiteral("Tools"), sub}));
        menu.setEntries(top);
    }
    void perform(Action, const QVariant&) override {}
};

// The longest the main thread, serving `item`, was held during a flood sent
// by a copy of this program (a process of its own, as a flooding client is).
long longestStallMs(const char* self, const QString& address, StatusNotifierItem& item, test::FloodKind kind,
                    std::chrono::seconds duration, int target) {
    QElapsedTimer sinceTick;
    sinceTick.start();
    long worst = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] { worst = std::max(worst, long(sinceTick.restart())); });
    ticks.start(5);
    const SpawnResult flood = spawnWithPipe({QString::fromLocal8Bit(self), QStringLiteral("--flood-only"),
                                             address, item.serviceName(), QString::number(int(kind)),
                                             QString::number(duration.count()), QString::number(target)});
    while (waitpid(flood.pid, nullptr, WNOHANG) == 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ::close(flood.readFd);
    return worst;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 7 && std::strcmp(argv[1], "--flood-only") == 0) {
        QCoreApplication app(argc, argv);
        test::floodMenu(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), getppid(),
                        test::FloodKind(std::atoi(argv[4])), std::chrono::seconds(std::atoi(argv[5])),
                        std::atoi(argv[6]));
        return 0;
    }
    int seconds = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--seconds=", 10) == 0)
            seconds = std::max(2, std::atoi(argv[i] + 10));
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    QDir().mkpath(home.filePath("bin"));
    QFile controller(home.filePath("bin/veldrin"));
    controller.open(QIODevice::WriteOnly);
    controller.write("#!/bin/sh\n[ \"$1\" = app-processes ] && sleep 1.5\nexit 0\n");
    controller.close();
    controller.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());

    test::SessionBus bus;
    if (!bus.ok()) {
        std::fprintf(stderr, "bench_menu_flood: no dbus-daemon\n");
        return 2;
    }
    const SpawnResult veldrin = spawnWithPipe({BENCH_VELDRIN});
    const pid_t baselinePid = startBaseline(bus.address(), "org.example.Baseline");
    const QString service = QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(veldrin.pid);
    QThread::sleep(2); // both up and settled
    const QDBusConnection probe = bus.client("bench");
    const int quitAll = quitAllId(probe, service);
    if (quitAll <= 0) {
        std::fprintf(stderr, "bench_menu_flood: Veldrin's menu did not answer\n");
        return 2;
    }

    StatusNotifierItem inProcess(bus.address().toUtf8());
    Menu28 menu28;
    inProcess.setMenuDelegate(&menu28);
    const int inProcessQuitAll = 18; // ids are given depth first from 1

    std::printf("| flood | probe, worst (ms) | baseline's worst (ms) | main thread held, longest (ms) | "
                "resident before → peak (MB) | calls | verdict |\n|---|---|---|---|---|---|---|\n");
    bool met = true;
    for (const test::FloodKind kind :
         {test::FloodKind::aboutToShow, test::FloodKind::layoutNames, test::FloodKind::propertyIds,
          test::FloodKind::property, test::FloodKind::click, test::FloodKind::eventGroup}) {
        const auto duration = std::chrono::seconds(seconds);
        const test::FloodResult v =
            test::floodMenu(bus.address(), service, veldrin.pid, kind, duration, quitAll);
        const test::FloodResult b =
            test::floodMenu(bus.address(), "org.example.Baseline", baselinePid, kind, duration, quitAll);
        const long held = longestStallMs(argv[0], bus.address(), inProcess, kind, duration, inProcessQuitAll);
        const long growthKb = v.residentPeakKb - v.residentBeforeKb;
        const bool ok = v.alive && v.worstProbeMs <= 300 && growthKb < 60 * 1024;
        met = met && ok;
        std::printf("| %s | %ld | %ld | %ld | %.1f → %.1f | %ld | %s |\n", qPrintable(test::floodName(kind)),
                    v.worstProbeMs, b.worstProbeMs, held, v.residentBeforeKb / 1024.0,
                    v.residentPeakKb / 1024.0, v.calls,
                    !v.alive ? "Veldrin died"
                    : ok     ? "met"
                             : "missed");
        std::fflush(stdout);
    }
    ::kill(baselinePid, SIGKILL);
    waitpid(baselinePid, nullptr, 0);
    ::kill(veldrin.pid, SIGTERM);
    waitForExit(veldrin.pid);
    return met ? 0 : 1;
}
