// The status item on its own: its registration with a watcher that leaves
// or drops it, its tooltip, what an activation opens, and its named icon.

#include "platform/linux/StatusNotifierItem.h"
#include "platform/linux/TrayTypes.h"
#include "support/CachingHost.h"
#include "support/SessionBus.h"
#include "support/StandInWatcher.h"
#include "support/TestSupport.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>

#include <gtest/gtest.h>

using namespace veldrin;
using namespace std::chrono_literals;

TEST(StatusNotifierItem, AnAnswerFromAWatcherThatHasLeftChangesNothing) {
    test::StandInWatcher watcher;
    test::SessionBus bus;
    ASSERT_TRUE(bus.ok());
    // The panel's first watcher takes the registration and leaves without answering.
    watcher.silent = true;
    ASSERT_TRUE(bus.serve(&watcher, test::watcherName, "/StatusNotifierWatcher"));
    StatusNotifierItem item(bus.address().toUtf8());
    ASSERT_TRUE(
        test::waitUntil([&] { return watcher.unanswered().type() == QDBusMessage::MethodCallMessage; }));
    QDBusConnection panel(test::watcherName);
    ASSERT_TRUE(panel.unregisterService(test::watcherName));
    watcher.silent = false;
    ASSERT_TRUE(panel.registerService(test::watcherName));
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

// A host that drops the item gets it again, and one that activates it and
// does not open the menu gets Veldrin's own; the tooltip's lines are broken
// with line feeds, its markup escaped; a named icon is announced anew when
// Plasma's or xfce4-panel's colours change (they keep drawing it in the
// colours they found it in).
TEST(StatusNotifierItem, ADroppedItemRegistersAgainAnActivationOpensOurMenuAndANewPaletteANewIcon) {
    test::StandInWatcher watcher;
    test::SessionBus bus;
    ASSERT_TRUE(bus.ok());
    watcher.drops = true;
    ASSERT_TRUE(bus.serve(&watcher, test::watcherName, "/StatusNotifierWatcher"));
    StatusNotifierItem item(bus.address().toUtf8());
    ASSERT_TRUE(test::waitUntil([&] { return watcher.items().size() == 2; }, 10s)); // 2 s on
    // Dropped before anything confirmed it, the item knows a tray is there that
    // does not hold it (so the notice for an icon not shown can come).
    EXPECT_EQ(item.hostPresent(), true);
    EXPECT_EQ(item.hostHolds(), false);
    EXPECT_EQ(item.confirmed(), false);
    watcher.drops = false;
    ASSERT_TRUE(test::waitUntil([&] { return item.confirmed(); }, 10s));

    item.setToolTip("Veldrin 0.1.0 (build 1)\nCannot sync — <b>x</b> & y\nRunning: Veldrin Audit (0:05)");
    QDBusConnection host = bus.client("host");
    const auto property = [&](const char* name) {
        QDBusMessage get = QDBusMessage::createMethodCall(item.serviceName(), "/StatusNotifierItem",
                                                          "org.freedesktop.DBus.Properties", "Get");
        get << "org.kde.StatusNotifierItem" << name;
        const QDBusMessage reply = host.call(get, QDBus::BlockWithGui);
        return reply.arguments().value(0).value<QDBusVariant>().variant().value<QDBusArgument>();
    };
    const auto tip = qdbus_cast<TrayToolTip>(property("ToolTip"));
    EXPECT_EQ(tip.title, "Veldrin 0.1.0 (build 1)");
    EXPECT_EQ(tip.description,
              "<span>Cannot sync — &lt;b&gt;x&lt;/b&gt; &amp; y\nRunning: Veldrin Audit (0:05)</span>");

    QList<QPoint> popups;
    QObject::connect(&item, &StatusNotifierItem::popupRequested, [&](QPoint at) { popups << at; });
    const auto activate = [&] {
        QDBusMessage call = QDBusMessage::createMethodCall(item.serviceName(), "/StatusNotifierItem",
                                                           "org.kde.StatusNotifierItem", "Activate");
        call << 30 << 40;
        return host.call(call, QDBus::BlockWithGui).errorName();
    };
    QList<QPoint> unreachable;
    QObject::connect(&item, &StatusNotifierItem::menuUnreachable, [&](QPoint at) { unreachable << at; });
    // A host that never read the menu cannot show it: Veldrin must.
    EXPECT_EQ(activate(), "org.freedesktop.DBus.Error.NotSupported");
    ASSERT_TRUE(test::waitUntil([&] { return !unreachable.isEmpty(); }));
    EXPECT_EQ(unreachable, QList<QPoint>{QPoint(30, 40)});
    EXPECT_TRUE(popups.isEmpty());
    // One that has read it gets Veldrin's menu only where it can pop up (X11).
    host.call(
        QDBusMessage::createMethodCall(item.serviceName(), "/MenuBar", "com.canonical.dbusmenu", "GetLayout")
            << 0 << -1 << QStringList(),
        QDBus::BlockWithGui);
    EXPECT_EQ(activate(), "org.freedesktop.DBus.Error.NotSupported");
    ASSERT_TRUE(test::waitUntil([&] { return !popups.isEmpty(); }));
    EXPECT_EQ(popups, QList<QPoint>{QPoint(30, 40)});
    EXPECT_EQ(unreachable.size(), 1);
    // A host that opens the menu itself on that answer gets no second one.
    EXPECT_EQ(activate(), "org.freedesktop.DBus.Error.NotSupported");
    host.call(QDBusMessage::createMethodCall(item.serviceName(), "/MenuBar", "com.canonical.dbusmenu",
                                             "AboutToShow")
                  << 0,
              QDBus::BlockWithGui);
    test::waitUntil([] { return false; }, StatusNotifierItem::hostMenuWait * 2);
    EXPECT_EQ(popups.size(), 1);

    test::MenuSignals sink;
    ASSERT_TRUE(host.connect(item.serviceName(), "/StatusNotifierItem", "org.kde.StatusNotifierItem",
                             "NewIcon", &sink, SLOT(NewIcon())));
    item.setIcon({TrayPixmap{1, 1, QByteArray(4, '\0')}}, "veldrin-ready-symbolic");
    ASSERT_TRUE(test::waitUntil([&] { return sink.icons == 1; }));
    const auto pixmap = [&] { return qdbus_cast<TrayPixmaps>(property("IconPixmap")).value(0).argb; };
    const QByteArray before = pixmap();
    host.send(QDBusMessage::createSignal("/KGlobalSettings", "org.kde.KGlobalSettings", "notifyChange")
              << 0 << 0);
    EXPECT_TRUE(test::waitUntil([&] { return sink.icons == 2; }));
    // What xfce4-panel compares differs; what anyone sees does not.
    EXPECT_NE(pixmap(), before);
    EXPECT_EQ(pixmap()[0], '\0');
    QDBusMessage darkMode =
        QDBusMessage::createSignal("/org/xfce/Xfconf", "org.xfce.Xfconf", "PropertyChanged");
    darkMode << "xfce4-panel"
             << "/panels/dark-mode" << QVariant::fromValue(QDBusVariant(true));
    host.send(darkMode);
    EXPECT_TRUE(test::waitUntil([&] { return sink.icons == 3; }));
}
