// The desktop's seams for real: the display activity and notifications
// through a private session bus and stand-in services, and the settings store.

#include "platform/linux/DBusActivities.h"
#include "platform/linux/DBusNotifications.h"
#include "platform/qt/CoreServices.h"
#include "support/NotificationServer.h"
#include "support/SessionBus.h"
#include "support/TestSupport.h"

#include <QDBusContext>
#include <QDBusMessage>
#include <QDir>
#include <QSettings>

#include <gtest/gtest.h>

#include <atomic>

using namespace veldrin;

namespace {

// A screen saver that answers at once or, when `late`, only when told to.
class ScreenSaver : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public Q_SLOTS:
    uint Inhibit(const QString& application, const QString& reason) {
        calls << "Inhibit " + application + "|" + reason;
        if (late) {
            setDelayedReply(true);
            held = message();
        }
        return 4242;
    }
    void UnInhibit(uint cookie) { calls << "UnInhibit " + QString::number(cookie); }

public:
    void grant(uint cookie) {
        QMetaObject::invokeMethod(this, [this, cookie] {
            QDBusConnection("org.freedesktop.ScreenSaver").send(held.createReply(cookie));
        });
    }
    QStringList calls;
    std::atomic<bool> late = false;
    QDBusMessage held;
};

// One private bus for the suite: the desktop connects to its session bus once.
class SessionBusServices : public testing::Test {
protected:
    static void SetUpTestSuite() { bus = std::make_unique<test::SessionBus>(); }
    static void TearDownTestSuite() { bus.reset(); }
    void SetUp() override {
        ASSERT_TRUE(bus->ok());
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus->address().toUtf8());
    }
    static inline std::unique_ptr<test::SessionBus> bus;
};

} // namespace

TEST_F(SessionBusServices, NotificationBodiesAreEscapedUnlessShownAsPlainTextAndAClickOpensTheRun) {
    test::NotificationServer service;
    ASSERT_TRUE(bus->serve(&service, "org.freedesktop.Notifications", "/org/freedesktop/Notifications"));
    const std::unique_ptr<Notifications> notifications = makeDBusNotifications();
    QStringList opened;
    // A service that reads markup gets the body escaped.
    notifications->notify({"Sync finished", "Exit code 0 · 0:03\n<b>done</b> & more"},
                          [&] { opened << "sync"; });
    ASSERT_TRUE(test::waitUntil([&] { return service.shown().size() == 1; }));
    EXPECT_EQ(service.shown()[0],
              "Veldrin|Sync finished|Exit code 0 · 0:03\n&lt;b&gt;done&lt;/b&gt; &amp; more|default,Open");

    // Clicks on other actions or other notifications open nothing, nor does
    // one on a notification we are about to be given.
    service.click(2, "default");
    service.click(1, "other");
    service.click(1, "default");
    ASSERT_TRUE(test::waitUntil([&] { return !opened.isEmpty(); }));
    service.click(1, "default"); // answered once only
    notifications->notify({"Repair finished", ""}, [&] { opened << "repair"; });
    ASSERT_TRUE(test::waitUntil([&] { return service.shown().size() == 2; }));
    service.markup = false;
    const std::unique_ptr<Notifications> plain = makeDBusNotifications();
    plain->notify({"Audit failed", "a < b"}, [&] { opened << "audit"; });
    ASSERT_TRUE(test::waitUntil([&] { return service.shown().size() == 3; }));
    EXPECT_EQ(service.shown()[2], "Veldrin|Audit failed|a < b|default,Open");
    service.click(3, "default");
    ASSERT_TRUE(test::waitUntil([&] { return opened.size() == 2; })) << opened.join(",").toStdString();
    EXPECT_EQ(opened, (QStringList{"sync", "audit"}));
}

TEST_F(SessionBusServices, DisplayActivityInhibitsTheScreenSaverUntilItEnds) {
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/veldrin-test");
    const std::unique_ptr<Activities> activities = makeDBusActivities();
    // Nobody serves the screen saver yet: the bus's own answer says so.
    const ActivityGrant refused = activities->begin(ActivityOption::idleDisplaySleepDisabled, "early");
    EXPECT_TRUE(refused.refused && refused.refused->contains("org.freedesktop.ScreenSaver"));
    activities->end(refused.token);

    ScreenSaver screenSaver;
    ASSERT_TRUE(bus->serve(&screenSaver, "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver"));
    const ActivityGrant held = activities->begin(ActivityOption::idleDisplaySleepDisabled,
                                                 "Veldrin user enabled Prevent Idle Screen Lock");
    EXPECT_EQ(held.refused, std::nullopt);
    activities->end(held.token);
    EXPECT_EQ(screenSaver.calls, (QStringList{"Inhibit Veldrin|Veldrin user enabled Prevent Idle Screen Lock",
                                              "UnInhibit 4242"}));

    // Granted after Veldrin stopped waiting: handed back at once.
    screenSaver.late = true;
    const ActivityGrant late = activities->begin(ActivityOption::idleDisplaySleepDisabled, "late");
    EXPECT_TRUE(late.refused);
    screenSaver.grant(1);
    EXPECT_TRUE(test::waitUntil([&] { return screenSaver.calls.contains("UnInhibit 1"); }));
    activities->end(late.token);
}

// No address and no per-user bus socket (the test's runtime folder is empty):
// no bus is started, and the answer is plainly that there is none.
TEST(DBusActivities, WithoutASessionBusTheDesktopRefusesWithoutLaunchingOne) {
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    const std::unique_ptr<Activities> activities = makeDBusActivities();
    const ActivityGrant grant = activities->begin(ActivityOption::idleDisplaySleepDisabled, "reason");
    EXPECT_EQ(grant.refused, "no session bus");
    activities->end(grant.token);
}

TEST(Settings, StoredChoicesComeBackAndAnUnwritableStoreSaysWhyButKeepsTheValue) {
    test::TempHome home;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.home() + "/config");
    const QString file = home.home() + "/config/Veldrin/Veldrin.conf";
    EXPECT_EQ(makeSettingsDefaults()->setBool("preventIdleScreenLock", true), std::nullopt);
    EXPECT_TRUE(makeSettingsDefaults()->boolForKey("preventIdleScreenLock"));

    // A folder where the file should be: nothing can be written there.
    ASSERT_TRUE(QFile::remove(file) && QDir().mkpath(file));
    const std::unique_ptr<Defaults> defaults = makeSettingsDefaults();
    EXPECT_EQ(defaults->setBool("preventIdleScreenLock", false), "cannot write " + file);
    EXPECT_FALSE(defaults->boolForKey("preventIdleScreenLock")); // for this run
}

#include "PlatformTest.moc"
