// The display activity through a real, private session bus and a stand-in
// ScreenSaver service.
#include "platform/linux/DBusActivities.h"
#include "exec/Spawn.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

using namespace veldrin;

namespace {

// The first line a child prints.
QString firstLine(int fd) {
    QByteArray line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return QString::fromUtf8(line);
}

} // namespace

TEST(DBusActivities, DisplayActivityInhibitsTheScreenSaverUntilItEnds) {
    const SpawnResult bus = spawnWithPipe(
        {QStandardPaths::findExecutable("dbus-daemon"), "--session", "--nofork", "--print-address=1"});
    ASSERT_TRUE(bus.started());
    const QString address = firstLine(bus.readFd);
    ASSERT_FALSE(address.isEmpty());
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/veldrin-test");
    std::unique_ptr<Activities> activities = makeDBusActivities();

    // Nobody serves the screen saver yet: the bus's own answer says so.
    const ActivityGrant refused = activities->begin(ActivityOption::idleDisplaySleepDisabled, "early");
    EXPECT_TRUE(refused.refused && refused.refused->contains("org.freedesktop.ScreenSaver"));
    activities->end(refused.token);

    QTemporaryDir dir;
    const QString calls = dir.filePath("calls");
    const SpawnResult service = spawnWithPipe({VELDRIN_SCREENSAVER_STANDIN, address, calls});
    ASSERT_EQ(firstLine(service.readFd), "ready");
    const ActivityGrant held = activities->begin(ActivityOption::idleDisplaySleepDisabled,
                                                 "Veldrin user enabled Prevent Idle Screen Lock");
    EXPECT_EQ(held.refused, std::nullopt);
    activities->end(held.token);
    QFile called(calls);
    ASSERT_TRUE(called.open(QIODevice::ReadOnly));
    EXPECT_EQ(called.readAll(),
              "Inhibit Veldrin|Veldrin user enabled Prevent Idle Screen Lock\nUnInhibit 4242\n");

    for (const SpawnResult& child : {service, bus}) {
        ::kill(child.pid, SIGTERM);
        waitForExit(child.pid);
        ::close(child.readFd);
    }
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
