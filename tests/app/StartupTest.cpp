// The veldrin program on a Linux desktop before it shows anything: the display
// it needs.

#include "exec/Shell.h"
#include "support/TestSupport.h"

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
