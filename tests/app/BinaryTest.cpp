// The veldrin program itself: --print-menu, --demo in its sandbox, one
// instance per home folder, and quitting on TERM.
#include "app/Autostart.h"
#include "exec/Shell.h"
#include "exec/Spawn.h"
#include "platform/PlistWriter.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

const QueryLimits aMinute{60s, 1024 * 1024};

QStringList listTree(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        out << it.filePath() + ' ' + QString::number(it.fileInfo().size()) + ' ' +
                   it.fileInfo().lastModified().toString(Qt::ISODateWithMs);
    }
    out.sort();
    return out;
}

void setBuild(const QString& bundle, const QVariant& build, bool binary) {
    ASSERT_TRUE(writeInfoPlist(bundle + "/Contents/Info.plist", {{"CFBundleVersion", build}}, binary));
}

} // namespace

TEST(PrintMenu, PrintsOneOpeningOneLinePerEntryAndExits) {
    test::TempHome home;
    home.writeController(test::recordingController());
    setBuild(home.systemRoot() + "/Applications/ChatGPT.app", "27", false);
    setBuild(home.home() + "/Applications/ChatGPT Alt.app", "27\n\u202Eevil", false);
    setBuild(home.home() + "/Applications/ChatGPT Tri.app", 26, true);

    const ShellResult r = shell({VELDRIN_BINARY, "--print-menu"}, aMinute);
    ASSERT_EQ(r.status, 0) << r.output.toStdString();
    const QStringList lines = r.output.split('\n');
    // 28 entries, 41 in the two submenus, and the final line feed.
    ASSERT_EQ(lines.size(), 70) << r.output.toStdString();
    EXPECT_EQ(lines[0], "Ready — click Sync Now [disabled]");
    EXPECT_EQ(lines[1], "Veldrin 0.1.0 (build 1) [disabled]");
    EXPECT_EQ(lines[2], "Alt behind (build \u2068" // the file's text on one line, isolated
                        "27 \u202E"
                        "evil\u202C\u2069 → 27) [disabled]");
    EXPECT_EQ(lines[3], "Tri behind (build 26 → 27) [disabled]");
    EXPECT_EQ(lines[68], "Quit Veldrin [key q]");
    // The launch's checks, then the opening's own look at the apps.
    QList<QStringList> calls = test::recordedCalls(home);
    std::sort(calls.begin(), calls.end());
    EXPECT_EQ(calls, (QList<QStringList>{{"app-processes"}, {"app-processes"}, {"cloud", "status"}}));
}

TEST(Demo, RunsInItsSandboxAndLeavesTheRealHomeUntouched) {
    test::TempHome realHome;
    realHome.writeScript(".config/keep-me", "mine\n");
    realHome.writeScript("bin/veldrin", "#!/bin/sh\necho real controller must not run >&2\nexit 9\n");
    const QStringList before = listTree(realHome.home());
    QTemporaryDir tmp;
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", tmp.path().toLocal8Bit());
    const ShellResult r = shell({VELDRIN_BINARY, "--demo", "--print-menu"}, aMinute);
    qputenv("TMPDIR", oldTmp);

    ASSERT_EQ(r.status, 0) << r.output.toStdString();
    // The stand-in apps run, so the state is blocked; the bundles differ by one build.
    EXPECT_TRUE(r.output.contains("\nCannot sync — ChatGPT is running [disabled]\n"))
        << r.output.toStdString();
    EXPECT_TRUE(r.output.contains("\nTri behind (build 26 → 27) [disabled]\n"));
    EXPECT_FALSE(r.output.contains("real controller"));
    EXPECT_EQ(listTree(realHome.home()), before);
    EXPECT_TRUE(QDir(tmp.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

TEST(Instance, SecondOneForTheSameHomeLeavesAtOnceAndTermQuitsPromptly) {
    test::TempHome home;
    // A controller that never lists the apps must not hold up quitting.
    home.writeController(test::recordingController(
        "[ \"$1\" = cloud ] && exit 1; echo $$ >> \"$HOME/pids\"; while :; do sleep 1; done"));
    const SpawnResult first = spawnWithPipe({VELDRIN_BINARY});
    ASSERT_TRUE(first.started());
    ASSERT_TRUE(test::waitUntil([&] { return !home.readFile("pids").isEmpty(); }));

    QElapsedTimer t;
    t.start();
    const ShellResult second = shell({VELDRIN_BINARY}, aMinute);
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.output, "veldrin: Veldrin is already running for " + home.home() +
                                 "; use its icon in the status bar, or quit it from its menu first\n");
    // A menu print is not a second instance.
    EXPECT_EQ(shell({VELDRIN_BINARY, "--print-menu"}, aMinute).failure, ShellFailure::none);

    t.restart();
    kill(first.pid, SIGTERM);
    EXPECT_EQ(waitForExit(first.pid), 0);
    EXPECT_LT(t.elapsed(), 2000);
    close(first.readFd);
    for (const QString& pid : QString::fromUtf8(home.readFile("pids")).split('\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(test::waitUntil([&] { return !test::processAlive(pid.toLongLong()); }, 5s))
            << "query " << pid.toStdString();
}

TEST(Autostart, OnWritesALoginEntryThatRunsThisBinaryAndOffRemovesIt) {
    EXPECT_EQ(desktopExecValue("/opt/my apps/ve$ld`r\"n\\x%1"), R"("/opt/my apps/ve\\$ld\\`r\\"n\\\\x%%1")");
    test::TempHome home;
    qputenv("XDG_CONFIG_HOME", (home.home() + "/config").toUtf8());
    const ShellResult on = shell({VELDRIN_BINARY, "--autostart", "on"}, aMinute);
    const QByteArray entry = home.readFile("config/autostart/veldrin.desktop");
    EXPECT_EQ(on.output,
              "Veldrin will start at login: " + home.home() + "/config/autostart/veldrin.desktop\n");
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\nType=Application\nName=Veldrin\n"));
    EXPECT_TRUE(
        entry.contains("\nExec=\"" + QFileInfo(VELDRIN_BINARY).canonicalFilePath().toUtf8() + "\"\n"));
    EXPECT_EQ(shell({VELDRIN_BINARY, "--autostart", "off"}, aMinute).status, 0);
    EXPECT_FALSE(QFile::exists(home.home() + "/config/autostart/veldrin.desktop"));
    qunsetenv("XDG_CONFIG_HOME");
}
