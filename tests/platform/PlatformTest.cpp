// The desktop's seams for real: the display activity through a private
// session bus and a stand-in ScreenSaver service, and the settings store.

#include "platform/linux/DBusActivities.h"
#include "platform/qt/CoreServices.h"
#include "support/SessionBus.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QSettings>

#include <gtest/gtest.h>

using namespace veldrin;

namespace {

class ScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public Q_SLOTS:
    uint Inhibit(const QString& application, const QString& reason) {
        calls << "Inhibit " + application + "|" + reason;
        return 4242;
    }
    void UnInhibit(uint cookie) { calls << "UnInhibit " + QString::number(cookie); }

public:
    QStringList calls;
};

} // namespace

TEST(DBusActivities, DisplayActivityInhibitsTheScreenSaverUntilItEnds) {
    test::SessionBus bus;
    ASSERT_TRUE(bus.ok());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/veldrin-test");
    const std::unique_ptr<Activities> activities = makeDBusActivities();
    // Nobody serves the screen saver yet: the bus's own answer says so.
    const ActivityGrant refused = activities->begin(ActivityOption::idleDisplaySleepDisabled, "early");
    EXPECT_TRUE(refused.refused && refused.refused->contains("org.freedesktop.ScreenSaver"));
    activities->end(refused.token);

    ScreenSaver screenSaver;
    ASSERT_TRUE(bus.serve(&screenSaver, "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver"));
    const ActivityGrant held = activities->begin(ActivityOption::idleDisplaySleepDisabled,
                                                 "Veldrin user enabled Prevent Idle Screen Lock");
    EXPECT_EQ(held.refused, std::nullopt);
    activities->end(held.token);
    EXPECT_EQ(screenSaver.calls, (QStringList{"Inhibit Veldrin|Veldrin user enabled Prevent Idle Screen Lock",
                                              "UnInhibit 4242"}));
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
