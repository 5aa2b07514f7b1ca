// The veldrin program on a freedesktop tray: a stand-in panel on a private
// session bus that starts after Veldrin, restarts, and reads and drives the
// item and its menu as a panel does.

#include "exec/Shell.h"
#include "exec/Spawn.h"
#include "platform/linux/DBusMenu.h"
#include "platform/linux/StatusNotifierItem.h"
#include "platform/linux/TrayTypes.h"
#include "support/CachingHost.h"
#include "support/MenuFlood.h"
#include "support/SessionBus.h"
#include "support/StandInWatcher.h"
#include "support/TestSupport.h"

#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QScopeGuard>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <unistd.h>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

QList<QVariant> call(const QDBusConnection& bus, const QString& service, const QString& path,
                     const QString& interface, const QString& method, const QList<QVariant>& args = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(args);
    const QDBusMessage reply = bus.call(message, QDBus::Block, 5000);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    return reply.arguments();
}

QString withoutTips(QString menu) {
    static const QRegularExpression tip(" \\[tip: [^\\]]*\\]");
    return menu.remove(tip);
}

} // namespace

TEST(TrayHost, APanelThatCachesTheMenuShowsItTrueAfterEveryChangeAndItsCachedIdsActAsLabelled) {
    test::TempHome home;
    // The controller makes the pause marker, as the real one does.
    home.writeController(test::recordingController(
        "case $1 in pause) mkdir -p \"$HOME/.codex\"; : > \"$HOME/.codex/.sync-paused\";; esac"));
    test::StandInWatcher watcher; // outlives the bus and its service thread
    test::SessionBus bus;
    ASSERT_TRUE(bus.ok());
    registerTrayTypes();
    const SpawnResult veldrin = spawnWithPipe({VELDRIN_BINARY});
    ASSERT_TRUE(veldrin.started());
    bool ended = false;
    const auto cleanup = qScopeGuard([&] {
        if (!ended) { // a failed step leaves nothing running
            ::kill(veldrin.pid, SIGKILL);
            waitForExit(veldrin.pid);
        }
        ::close(veldrin.readFd);
    });
    // The panel comes later, as at a login: once Veldrin's item waits on the bus.
    QDBusConnection host = bus.client("host");
    const QString ownItem = QString("org.kde.StatusNotifierItem-%1-1").arg(veldrin.pid);
    ASSERT_TRUE(test::waitUntil(
        [&] { return host.interface()->registeredServiceNames().value().contains(ownItem); }, 30s));
    ASSERT_TRUE(bus.serve(&watcher, test::watcherName, "/StatusNotifierWatcher"));
    ASSERT_TRUE(test::waitUntil([&] { return watcher.items().size() == 1; }));
    const QString item = watcher.items().value(0);

    // What the panel shows: the icon, the tooltip, and a menu it opens itself.
    QVariantMap props; // once it has drawn its first icon
    ASSERT_TRUE(test::waitUntil([&] {
        props =
            qdbus_cast<QVariantMap>(call(host, item, "/StatusNotifierItem", "org.freedesktop.DBus.Properties",
                                         "GetAll", {"org.kde.StatusNotifierItem"})
                                        .value(0)
                                        .value<QDBusArgument>());
        return !qdbus_cast<TrayPixmaps>(props.value("IconPixmap").value<QDBusArgument>()).isEmpty();
    }));
    EXPECT_EQ(props.value("Status"), "Active");
    EXPECT_EQ(props.value("ItemIsMenu"), true);
    EXPECT_EQ(props.value("Menu").value<QDBusObjectPath>().path(), "/MenuBar");
    const auto icon = qdbus_cast<TrayPixmaps>(props.value("IconPixmap").value<QDBusArgument>());
    ASSERT_FALSE(icon.isEmpty());
    EXPECT_EQ(icon[0].argb.size(), icon[0].width * icon[0].height * 4);
    const auto tip = qdbus_cast<TrayToolTip>(props.value("ToolTip").value<QDBusArgument>());
    EXPECT_EQ(tip.title, "Veldrin 0.1.0 (build 1)");
    // Ready: hosts find the symbolic icon by name in the folder the item names.
    const auto property = [&](const QString& name) {
        return call(host, item, "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
                    {"org.kde.StatusNotifierItem", name})
            .value(0)
            .value<QDBusVariant>()
            .variant();
    };
    EXPECT_TRUE(test::waitUntil([&] { return property("IconName") == "veldrin-ready-symbolic"; }));
    const QString icons = home.home() + "/.cache/veldrin/icons";
    EXPECT_EQ(props.value("IconThemePath"), icons);
    for (const char* file : {"/veldrin-ready-symbolic.svg",
                             "/hicolor/scalable/apps/veldrin-ready-symbolic.svg", "/hicolor/index.theme"})
        EXPECT_GT(QFileInfo(icons + file).size(), 0) << file;
    // A host that activates the item (Plasma, on a left click) is told to open the menu.
    QDBusMessage activate =
        QDBusMessage::createMethodCall(item, "/StatusNotifierItem", "org.kde.StatusNotifierItem", "Activate");
    activate << 10 << 10;
    EXPECT_EQ(host.call(activate, QDBus::Block, 5000).errorName(), "org.freedesktop.DBus.Error.NotSupported");

    // The panel keeps a copy, read once, and then follows the signals alone.
    const QString menu = "com.canonical.dbusmenu";
    test::CachingHost copy(
        [&] {
            const QList<QVariant> reply = call(host, item, "/MenuBar", menu, "GetLayout",
                                               {0, -1, QStringList{"type", "children-display"}});
            return qdbus_cast<DBusMenuLayout>(reply.value(1).value<QDBusArgument>());
        },
        [&](const QList<int>& ids) {
            const QList<QVariant> reply = call(host, item, "/MenuBar", menu, "GetGroupProperties",
                                               {QVariant::fromValue(ids), QStringList()});
            return qdbus_cast<DBusMenuPropertiesList>(reply.value(0).value<QDBusArgument>());
        });
    test::MenuSignals sink;
    sink.host = &copy;
    ASSERT_TRUE(host.connect(item, "/MenuBar", menu, "LayoutUpdated", &sink, SLOT(LayoutUpdated(uint, int))));
    ASSERT_TRUE(host.connect(item, "/MenuBar", menu, "ItemsPropertiesUpdated", &sink,
                             SLOT(ItemsPropertiesUpdated(QDBusMessage))));
    ASSERT_TRUE(host.connect(item, "/StatusNotifierItem", "org.kde.StatusNotifierItem", "NewIcon", &sink,
                             SLOT(NewIcon())));
    const auto fresh = [&] {
        const QList<QVariant> reply = call(host, item, "/MenuBar", menu, "GetLayout", {0, -1, QStringList()});
        return test::layoutText(qdbus_cast<DBusMenuLayout>(reply.value(1).value<QDBusArgument>()));
    };
    // Once the launch's checks have answered, the copy shows what --print-menu does.
    const QString printed = withoutTips(shell({VELDRIN_BINARY, "--print-menu"}, {60s, 1 << 20}).output);
    EXPECT_TRUE(test::waitUntil([&] { return copy.text() == printed; })) << copy.text().toStdString();
    const auto click = [&](const QString& title) {
        const int id = copy.idOf(title);
        EXPECT_GT(id, 0) << title.toStdString();
        call(host, item, "/MenuBar", menu, "Event",
             {id, "clicked", QVariant::fromValue(QDBusVariant(0)), 0u});
    };

    // An opening as GNOME's host makes one; the audit chosen from the copy runs.
    call(host, item, "/MenuBar", menu, "Event", {0, "opened", QVariant::fromValue(QDBusVariant(0)), 0u});
    // The panel has read the whole menu: nothing to read again.
    EXPECT_EQ(call(host, item, "/MenuBar", menu, "AboutToShow", {0}).value(0), false);
    QElapsedTimer sinceClick;
    sinceClick.start();
    click("Audit Profiles");
    EXPECT_TRUE(test::waitUntil([&] { return test::recordedCalls(home).contains({"audit"}); }));
    // The run comes and goes in Recent Runs; the pause chosen from the copy
    // (a person's next click, not a repeat) shows in it.
    EXPECT_TRUE(test::waitUntil([&] {
        return copy.text().contains(" Veldrin Audit — exit code 0\n") &&
               sinceClick.elapsed() > DBusMenu::Spacing().click.count();
    })) << copy.text().toStdString();
    click("Pause Sync");
    EXPECT_TRUE(test::waitUntil([&] { return copy.text().startsWith("Sync is paused [disabled]\n"); }))
        << copy.text().toStdString();
    EXPECT_TRUE(test::waitUntil([&] { return copy.text() == fresh(); })) << copy.text().toStdString();
    EXPECT_TRUE(copy.text().contains("\nResume Sync [key p]\n"));
    EXPECT_GT(sink.layouts, 0);
    // Paused: a picture and no name; the folder stays, as hosts read it once.
    EXPECT_GT(sink.icons, 0);
    EXPECT_EQ(property("IconName"), "");
    EXPECT_EQ(property("IconThemePath"), icons);
    EXPECT_FALSE(qdbus_cast<TrayPixmaps>(property("IconPixmap").value<QDBusArgument>()).isEmpty());

    // Items or properties the menu does not have are refused, not made up.
    const auto refusal = [&](const QString& method, const QList<QVariant>& args) {
        QDBusMessage message = QDBusMessage::createMethodCall(item, "/MenuBar", menu, method);
        message.setArguments(args);
        return host.call(message, QDBus::Block, 5000).errorName();
    };
    const QString invalid = "org.freedesktop.DBus.Error.InvalidArgs";
    EXPECT_EQ(refusal("GetProperty", {copy.idOf("Audit Profiles"), "label"}), "");
    EXPECT_EQ(refusal("GetProperty", {9999, "label"}), invalid);
    EXPECT_EQ(refusal("GetProperty", {copy.idOf("Audit Profiles"), "no-such-property"}), invalid);
    EXPECT_EQ(refusal("GetLayout", {-5, -1, QStringList()}), invalid);
    EXPECT_EQ(refusal("Event", {9999, "clicked", QVariant::fromValue(QDBusVariant(0)), 0u}), invalid);

    // The panel restarts: its watcher goes and comes back, and gets the item again.
    QDBusConnection panel(test::watcherName);
    ASSERT_TRUE(panel.unregisterService(test::watcherName));
    test::waitUntil([] { return false; }, 300ms);
    ASSERT_TRUE(panel.registerService(test::watcherName));
    EXPECT_TRUE(test::waitUntil([&] { return watcher.items().size() == 2; }));
    EXPECT_EQ(watcher.items().value(1), item);

    // The id the copy has held all along for "Quit Veldrin" still quits.
    click("Quit Veldrin");
    EXPECT_EQ(waitForExit(veldrin.pid), 0);
    ended = true;
}

// Another program of the user's floods the exported menu with each kind of
// request in turn, against a controller that takes 1.5 s to answer: the menu
// object keeps answering a panel's questions and Veldrin lives on. (Before,
// each opening held Veldrin 1.5 s. The figures, 300 ms and 60 MB, are
// bench_menu_flood's.)
TEST(TrayHost, FloodsOfAnyRequestNeitherFreezeNorEndVeldrin) {
    test::TempHome home;
    home.writeController(test::recordingController("[ \"$1\" = app-processes ] && sleep 1.5; exit 0"));
    test::StandInWatcher watcher;
    test::SessionBus bus;
    ASSERT_TRUE(bus.ok());
    registerTrayTypes();
    const SpawnResult veldrin = spawnWithPipe({VELDRIN_BINARY});
    ASSERT_TRUE(veldrin.started());
    const auto cleanup = qScopeGuard([&] {
        ::kill(veldrin.pid, SIGKILL);
        waitForExit(veldrin.pid);
        ::close(veldrin.readFd);
    });
    ASSERT_TRUE(bus.serve(&watcher, test::watcherName, "/StatusNotifierWatcher"));
    ASSERT_TRUE(test::waitUntil([&] { return watcher.items().size() == 1; }));
    const QString item = watcher.items().value(0);
    const QDBusConnection host = bus.client("host");
    const QList<QVariant> reply =
        call(host, item, "/MenuBar", "com.canonical.dbusmenu", "GetLayout", {0, 1, QStringList{"label"}});
    int quitAll = 0; // asks before it acts: each click would open an alert
    for (const DBusMenuLayout& entry :
         qdbus_cast<DBusMenuLayout>(reply.value(1).value<QDBusArgument>()).children) {
        if (entry.properties.value("label") == "Quit All ChatGPT Processes…")
            quitAll = entry.id;
    }
    ASSERT_GT(quitAll, 0);
    for (const test::FloodKind kind :
         {test::FloodKind::aboutToShow, test::FloodKind::layoutNames, test::FloodKind::propertyIds,
          test::FloodKind::property, test::FloodKind::click, test::FloodKind::eventGroup}) {
        // A tenth of the bench's million elements: still far past what is
        // read of a request, and light enough for a loaded machine.
        const test::FloodResult r =
            test::floodMenu(bus.address(), item, veldrin.pid, kind, 2s, quitAll, 100000);
        SCOPED_TRACE(test::floodName(kind, 100000).toStdString());
        EXPECT_TRUE(r.alive);
        EXPECT_GT(r.calls, 0);
        EXPECT_GE(r.probes, 10);
        EXPECT_LT(r.worstProbeMs, 1000);
    }
}
