// The veldrin program on a freedesktop tray: a stand-in panel on a private
// session bus that starts after Veldrin, restarts, and reads and drives the
// item and its menu as a panel does.

#include "exec/Shell.h"
#include "exec/Spawn.h"
#include "platform/linux/DBusMenu.h"
#include "platform/linux/StatusNotifierItem.h"
#include "platform/linux/TrayTypes.h"
#include "support/SessionBus.h"
#include "support/TestSupport.h"

#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QMutex>
#include <QScopeGuard>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <unistd.h>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

// The panel's StatusNotifierWatcher, with a host of its own.
class Watcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
public:
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const {
        QMutexLocker lock(&mutex_);
        return items_;
    }
    // The call a silent watcher took and never answered.
    QDBusMessage unanswered() const {
        QMutexLocker lock(&mutex_);
        return unanswered_;
    }
    std::atomic<bool> silent = false;
public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service) {
        QMutexLocker lock(&mutex_);
        if (silent) {
            setDelayedReply(true);
            unanswered_ = message();
            return;
        }
        items_ << service;
    }
    void RegisterStatusNotifierHost(const QString&) {}

private:
    mutable QMutex mutex_;
    QStringList items_;
    QDBusMessage unanswered_;
};

const QString watcherName = "org.kde.StatusNotifierWatcher";

QList<QVariant> call(const QDBusConnection& bus, const QString& service, const QString& path,
                     const QString& interface, const QString& method, const QList<QVariant>& args = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(args);
    const QDBusMessage reply = bus.call(message, QDBus::Block, 5000);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    return reply.arguments();
}

// The layout as --print-menu prints a menu, from the properties a panel reads.
void render(const DBusMenuLayout& node, int depth, QString& out, QMap<QString, int>& ids) {
    for (const DBusMenuLayout& child : node.children) {
        const QVariantMap& p = child.properties;
        out += QString(depth * 2, ' ');
        if (p.value("type") == "separator") {
            out += "---\n";
            continue;
        }
        const QString title = p.value("label").toString().replace("__", "_");
        ids[title] = child.id;
        out += title;
        if (!p.value("enabled", true).toBool())
            out += " [disabled]";
        if (p.value("toggle-type") == "checkmark")
            out += p.value("toggle-state").toInt() ? " [on]" : " [off]";
        if (p.contains("shortcut")) {
            const auto keys = qdbus_cast<QList<QStringList>>(p.value("shortcut").value<QDBusArgument>());
            out += " [key " + keys.value(0).join('+').remove("Control+") + "]";
        }
        if (p.contains("accessible-desc"))
            out += " [tip: " + p.value("accessible-desc").toString() + "]";
        out += '\n';
        render(child, depth + 1, out, ids);
    }
}

struct Opening {
    QString text;
    QMap<QString, int> ids;
};

// As a panel opens the menu: AboutToShow on the root, then the whole layout.
Opening open(const QDBusConnection& bus, const QString& item) {
    const QString menu = "com.canonical.dbusmenu";
    EXPECT_EQ(call(bus, item, "/MenuBar", menu, "AboutToShow", {0}).value(0), true);
    const QList<QVariant> reply = call(bus, item, "/MenuBar", menu, "GetLayout", {0, -1, QStringList()});
    Opening opening;
    render(qdbus_cast<DBusMenuLayout>(reply.value(1).value<QDBusArgument>()), 0, opening.text, opening.ids);
    return opening;
}

} // namespace

TEST(TrayHost, APanelStartedLaterShowsTheItemItsMenuRunsActionsAndARestartedPanelGetsItAgain) {
    test::TempHome home;
    home.writeController(test::recordingController());
    Watcher watcher; // outlives the bus and its service thread
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
    // The panel comes 3 s after Veldrin, as at a login with autostart.
    test::waitUntil([] { return false; }, 3s);
    ASSERT_TRUE(bus.serve(&watcher, watcherName, "/StatusNotifierWatcher"));
    ASSERT_TRUE(test::waitUntil([&] { return watcher.items().size() == 1; }));
    const QString item = watcher.items().value(0);
    const QDBusConnection host = QDBusConnection::connectToBus(bus.address(), "host");

    // What the panel shows: the icon, the tooltip, and a menu it opens itself.
    const QVariantMap props =
        qdbus_cast<QVariantMap>(call(host, item, "/StatusNotifierItem", "org.freedesktop.DBus.Properties",
                                     "GetAll", {"org.kde.StatusNotifierItem"})
                                    .value(0)
                                    .value<QDBusArgument>());
    EXPECT_EQ(props.value("Status"), "Active");
    EXPECT_EQ(props.value("ItemIsMenu"), true);
    EXPECT_EQ(props.value("Menu").value<QDBusObjectPath>().path(), "/MenuBar");
    const auto icon = qdbus_cast<TrayPixmaps>(props.value("IconPixmap").value<QDBusArgument>());
    ASSERT_FALSE(icon.isEmpty());
    EXPECT_EQ(icon[0].argb.size(), icon[0].width * icon[0].height * 4);
    const auto tip = qdbus_cast<TrayToolTip>(props.value("ToolTip").value<QDBusArgument>());
    EXPECT_EQ(tip.title, "Veldrin 0.1.0 (build 1)");

    // Every entry as --print-menu gives it, and a chosen one runs its action.
    Opening opening = open(host, item);
    EXPECT_EQ(opening.text, shell({VELDRIN_BINARY, "--print-menu"}, {60s, 1 << 20}).output);
    ASSERT_TRUE(opening.ids.contains("Audit Profiles"));
    call(host, item, "/MenuBar", "com.canonical.dbusmenu", "Event",
         {opening.ids["Audit Profiles"], "clicked", QVariant::fromValue(QDBusVariant(QString())), 0u});
    EXPECT_TRUE(test::waitUntil([&] { return test::recordedCalls(home).contains({"audit"}); }));
    // Items or properties the menu does not have are refused, not made up.
    const auto refusal = [&](const QString& method, const QList<QVariant>& args) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(item, "/MenuBar", "com.canonical.dbusmenu", method);
        message.setArguments(args);
        return host.call(message, QDBus::Block, 5000).errorName();
    };
    const QString invalid = "org.freedesktop.DBus.Error.InvalidArgs";
    EXPECT_EQ(refusal("GetProperty", {opening.ids["Audit Profiles"], "label"}), "");
    EXPECT_EQ(refusal("GetProperty", {999, "label"}), invalid);
    EXPECT_EQ(refusal("GetProperty", {opening.ids["Audit Profiles"], "no-such-property"}), invalid);
    EXPECT_EQ(refusal("GetLayout", {-5, -1, QStringList()}), invalid);
    EXPECT_EQ(refusal("Event", {999, "clicked", QVariant::fromValue(QDBusVariant(QString())), 0u}), invalid);

    // Each opening is built afresh: a pause made meanwhile shows once the audit is over.
    test::writeFile(home.home() + "/.codex/.sync-paused", "paused from menu bar\n");
    EXPECT_TRUE(test::waitUntil([&] {
        opening = open(host, item);
        return opening.text.startsWith("Sync is paused [disabled]\n");
    })) << opening.text.toStdString();
    EXPECT_TRUE(opening.text.contains("\nResume Sync [key p]\n")) << opening.text.toStdString();

    // The panel restarts: its watcher goes and comes back, and gets the item again.
    QDBusConnection panel(watcherName);
    ASSERT_TRUE(panel.unregisterService(watcherName));
    test::waitUntil([] { return false; }, 300ms);
    ASSERT_TRUE(panel.registerService(watcherName));
    EXPECT_TRUE(test::waitUntil([&] { return watcher.items().size() == 2; }));
    EXPECT_EQ(watcher.items().value(1), item);

    ::kill(veldrin.pid, SIGTERM);
    EXPECT_EQ(waitForExit(veldrin.pid), 0);
    ended = true;
}

TEST(DBusMenu, TitlesStayLiteralEachOpeningIsFreshAndOnlyAnEnabledEntryActs) {
    struct Delegate : MenuDelegate {
        int openings = 0;
        QList<Action> performed;
        void menuWillOpen(StatusMenu& menu) override {
            MenuEntry lock =
                MenuEntry::item("Prevent Idle Screen Lock", Action::togglePreventIdleScreenLock, true);
            lock.checkmark = Checkmark::on;
            lock.toolTip = "Keeps the display awake";
            menu.setEntries({MenuEntry::item("Sync_All & <b>more</b>", Action::syncAllNow, true, "s"),
                             MenuEntry::info("Opening " + QString::number(++openings)),
                             MenuEntry::separatorEntry(), MenuEntry::holder("Tools", Menu{"Tools", {lock}})});
        }
        void perform(Action action, const QVariant&) override { performed << action; }
    } delegate;
    DBusMenu menu;
    menu.setMenuDelegate(&delegate);

    EXPECT_TRUE(menu.aboutToShow(0));
    EXPECT_FALSE(menu.aboutToShow(4)); // a submenu comes with its menu
    const DBusMenuLayout top = *menu.layout(0, 1, {"label", "type"});
    ASSERT_EQ(top.children.size(), 4);
    EXPECT_EQ(top.children[0].properties, (QVariantMap{{"label", "Sync__All & <b>more</b>"}}));
    EXPECT_EQ(top.children[1].properties.value("label"), "Opening 1");
    EXPECT_EQ(top.children[2].properties, (QVariantMap{{"type", "separator"}}));
    EXPECT_TRUE(top.children[3].children.isEmpty()); // one level asked for
    const DBusMenuLayout tools = *menu.layout(top.children[3].id, -1, {});
    ASSERT_EQ(tools.children.size(), 1);
    const QVariantMap lock = tools.children[0].properties;
    EXPECT_EQ(lock.value("toggle-type"), "checkmark");
    EXPECT_EQ(lock.value("toggle-state"), 1);
    EXPECT_EQ(lock.value("accessible-desc"), "Keeps the display awake");

    menu.aboutToShow(0);
    EXPECT_EQ(menu.layout(0, 1, {"label"})->children[1].properties.value("label"), "Opening 2");

    // However often a host names items, each is answered once and the menu opens once.
    const DBusMenuPropertiesList asked = menu.properties(QList<int>(100000, 1) << 2 << 99 << 1, {});
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[1].id, 2);
    QList<int> unknown;
    EXPECT_EQ(menu.aboutToShow(QList<int>(5000, 0) << 4 << 99 << 99, unknown), QList<int>{0});
    EXPECT_EQ(unknown, QList<int>{99});
    EXPECT_EQ(delegate.openings, 3);
    EXPECT_TRUE(menu.handleEvent(top.children[1].id, "clicked")); // an information line
    EXPECT_FALSE(menu.handleEvent(99, "clicked"));
    EXPECT_TRUE(menu.handleEvent(top.children[0].id, "clicked"));
    EXPECT_TRUE(test::waitUntil([&] { return !delegate.performed.isEmpty(); }));
    EXPECT_EQ(delegate.performed, QList<Action>{Action::syncAllNow});
}

TEST(StatusNotifierItem, AnAnswerFromAWatcherThatHasLeftChangesNothing) {
    Watcher watcher;
    test::SessionBus bus;
    ASSERT_TRUE(bus.ok());
    // The panel's first watcher takes the registration and leaves without answering.
    watcher.silent = true;
    ASSERT_TRUE(bus.serve(&watcher, watcherName, "/StatusNotifierWatcher"));
    StatusNotifierItem item(QDBusConnection::connectToBus(bus.address(), "item"));
    ASSERT_TRUE(
        test::waitUntil([&] { return watcher.unanswered().type() == QDBusMessage::MethodCallMessage; }));
    QDBusConnection panel(watcherName);
    ASSERT_TRUE(panel.unregisterService(watcherName));
    watcher.silent = false;
    ASSERT_TRUE(panel.registerService(watcherName));
    ASSERT_TRUE(test::waitUntil([&] { return item.registered() == true; }));

    // Its answer comes at last; a call the item answers after it shows it was read.
    panel.send(watcher.unanswered().createErrorReply(QDBusError::NoReply, "too late"));
    const QDBusPendingCall read =
        panel.asyncCall(QDBusMessage::createMethodCall(item.serviceName(), "/MenuBar",
                                                       "com.canonical.dbusmenu", "AboutToShow")
                        << 0);
    ASSERT_TRUE(test::waitUntil([&] { return read.isFinished(); }));
    EXPECT_EQ(item.registered(), true);
}

#include "TrayHostTest.moc"
