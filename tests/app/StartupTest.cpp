// The veldrin program on a Linux desktop before it shows anything: the display
// it needs, and --check, which says what the desktop offers (against stand-in
// services on a private session bus).

#include "exec/Shell.h"
#include "support/NotificationServer.h"
#include "support/SessionBus.h"
#include "support/StandInWatcher.h"
#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QFile>

#include <gtest/gtest.h>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

// Runs this binary through sh with no display in reach and `setUp` done first.
ShellResult runVeldrin(const QString& setUp, const QStringList& args = {}) {
    return shell(
        QStringList{"/bin/sh", "-c",
                    "unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM; " + setUp + " exec \"$0\" \"$@\"",
                    VELDRIN_BINARY} +
            args,
        {60s, 1 << 20});
}

} // namespace

TEST(Startup, WithoutADisplayThatAnswersItSaysWhichItTriedAndExits1AndWhatNeedsNoneRuns) {
    if (QFile::exists("/tmp/.X11-unix/X97"))
        GTEST_SKIP() << "an X server runs on :97";
    test::TempHome home;
    home.writeController(test::recordingController());
    ShellResult r = runVeldrin("");
    EXPECT_EQ(r.output,
              "veldrin: no display to show the status icon on (DISPLAY and WAYLAND_DISPLAY are unset)\n");
    EXPECT_EQ(r.status, 1);
    r = runVeldrin("DISPLAY=:97 WAYLAND_DISPLAY=wayland-97 XDG_RUNTIME_DIR=\"$HOME\"");
    EXPECT_EQ(
        r.output,
        "veldrin: no display to show the status icon on (Wayland display wayland-97 does not answer at " +
            home.home() +
            "/wayland-97: No such file or directory; X display :97 does not answer at "
            "/tmp/.X11-unix/X97: No such file or directory)\n");
    EXPECT_EQ(r.status, 1);
    // Where Qt gives up all the same, one line says why instead of its abort.
    r = runVeldrin("QT_QPA_PLATFORM=nosuch");
    EXPECT_TRUE(r.output.startsWith(
        "veldrin: Qt could not open the display: Could not find the Qt platform plugin \"nosuch\""))
        << r.output.toStdString();
    EXPECT_EQ(r.output.count('\n'), 1);
    EXPECT_EQ(r.status, 1);

    for (const QStringList& args :
         {QStringList{"--version"}, {"--help"}, {"--print-menu"}, {"--autostart", "off"}})
        EXPECT_EQ(runVeldrin("", args).status, 0) << args.join(' ').toStdString();
}

TEST(DesktopCheck, SaysWhatTheDesktopOffersAndFailsNamingWhatVeldrinNeedsAndLacks) {
    test::TempHome home;
    home.writeController("#!/bin/sh\n");
    test::StandInWatcher watcher; // these outlive the bus and its service thread
    test::NotificationServer notifications;
    notifications.markup = false;
    QObject screenSaver;
    test::SessionBus bus;
    ASSERT_TRUE(bus.ok());
    ASSERT_TRUE(bus.serve(&watcher, test::watcherName, "/StatusNotifierWatcher"));
    ASSERT_TRUE(bus.serve(&notifications, "org.freedesktop.Notifications", "/org/freedesktop/Notifications"));
    ASSERT_TRUE(bus.serve(&screenSaver, "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver"));
    // The system bus is the private one too, which has no login1.
    const QString busSetUp =
        "DBUS_SYSTEM_BUS_ADDRESS=\"$DBUS_SESSION_BUS_ADDRESS\"; export DBUS_SYSTEM_BUS_ADDRESS;";
    const QString sleepLine = "sleep inhibitor: none — no org.freedesktop.login1 on the system bus; Keep Mac "
                              "Running with Lid Closed holds no idle-sleep inhibitor\n";

    ShellResult r = runVeldrin(busSetUp + " QT_QPA_PLATFORM=offscreen", {"--check"});
    EXPECT_EQ(r.output, "controller: " + home.home() +
                            "/bin/veldrin (executable)\n"
                            "display: offscreen (QT_QPA_PLATFORM=offscreen)\n"
                            "tray: org.kde.StatusNotifierWatcher with a host (the icon shows as a "
                            "StatusNotifierItem)\n"
                            "notifications: Stand-in 1.2 (Veldrin tests), capabilities: actions, body\n"
                            "screen saver inhibitor: org.freedesktop.ScreenSaver (present)\n" +
                            sleepLine + "session bus: " + bus.address() +
                            "\n"
                            "ready: Veldrin has all it needs here\n");
    EXPECT_EQ(r.status, 0);

    // No panel, no display, no controller, and a notification server that hangs.
    ASSERT_TRUE(QDBusConnection(test::watcherName).unregisterService(test::watcherName));
    ASSERT_TRUE(
        QDBusConnection("org.freedesktop.ScreenSaver").unregisterService("org.freedesktop.ScreenSaver"));
    notifications.silent = true;
    QFile::remove(home.home() + "/bin/veldrin");
    r = runVeldrin(busSetUp, {"--check"});
    EXPECT_EQ(r.output,
              "controller: " + home.home() +
                  "/bin/veldrin — missing\n"
                  "display: none — DISPLAY and WAYLAND_DISPLAY are unset\n"
                  "tray: none — no StatusNotifierWatcher on the session bus; on GNOME, install and "
                  "enable the AppIndicator extension (Debian package "
                  "gnome-shell-extension-appindicator)\n"
                  "notifications: org.freedesktop.Notifications — did not answer within 2 seconds; a "
                  "run that ends while its window is not in front is not announced\n"
                  "screen saver inhibitor: none — no org.freedesktop.ScreenSaver on the session bus; "
                  "Prevent Idle Screen Lock cannot keep the display awake\n" +
                  sleepLine + "session bus: " + bus.address() +
                  "\n"
                  "not ready: missing an executable controller, a display and a tray\n");
    EXPECT_EQ(r.status, 1);
}
