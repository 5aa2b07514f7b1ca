// The veldrin program itself: --print-menu and --version, one instance per
// home folder, the environments it refuses, quitting on TERM, the login entry,
// and --demo with its sandbox and stand-ins.

#include "autostart/Autostart.h"
#include "demo/Demo.h"
#include "demo/DemoApps.h"
#include "exec/Shell.h"
#include "exec/Spawn.h"
#include "plist/PlistWriter.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

const QueryLimits aMinute{60s, 1024 * 1024};

void setBuild(const QString& bundle, const QVariant& build, bool binary) {
    ASSERT_TRUE(writeInfoPlist(bundle + "/Contents/Info.plist", {{"CFBundleVersion", build}}, binary));
}

// Runs a sh script with this binary as $0 and `args` after it; sh spells the
// bytes a QString cannot hold.
ShellResult sh(const QString& script, const QStringList& args = {}) {
    return shell(QStringList{"/bin/sh", "-c", script, VELDRIN_BINARY} + args, aMinute);
}

QStringList listTree(const QString& root) {
    QStringList out;
    for (QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        it.next();
        out << it.filePath() + ' ' + it.fileInfo().lastModified().toString(Qt::ISODateWithMs);
    }
    out.sort();
    return out;
}

} // namespace

TEST(PrintMenu, PrintsOneOpeningAtOnceShowingWhatHasNotAnsweredAsPending) {
    test::TempHome home;
    home.writeController(test::recordingController());
    setBuild(home.systemRoot() + "/Applications/ChatGPT.app", "27", false);
    setBuild(home.home() + "/Applications/ChatGPT Alt.app", "27\n\u202Eevil", false);
    setBuild(home.home() + "/Applications/ChatGPT Tri.app", 26, true);
    ShellResult r = shell({VELDRIN_BINARY, "--print-menu"}, aMinute);
    EXPECT_TRUE(
        r.output.startsWith("Ready — click Sync Now [disabled]\nVeldrin 0.1.0 (build 1) [disabled]\n"
                            "Alt behind (build \u2068" // the file's text on one line, isolated
                            "27 \u202E"
                            "evil\u202C\u2069 → 27) [disabled]\nTri behind (build 26 → 27) [disabled]\n"))
        << r.output.toStdString();
    EXPECT_TRUE(r.output.endsWith("\nQuit Veldrin [key q]\n"));
    // The launch's checks; the opening that follows at once uses their answers.
    QList<QStringList> calls = test::recordedCalls(home);
    std::sort(calls.begin(), calls.end());
    EXPECT_EQ(calls, (QList<QStringList>{{"app-processes"}, {"cloud", "status"}}));
    EXPECT_EQ(shell({VELDRIN_BINARY, "--version"}, aMinute).output, "Veldrin 0.1.0 (build 1)\n");

    // A hung controller: it prints what an opening shows once it has given up
    // waiting, and ends by itself (bench_hung_controller times it).
    home.writeController(test::recordingController("exec sleep 60"));
    r = shell({VELDRIN_BINARY, "--print-menu"}, aMinute);
    EXPECT_EQ(r.failure, ShellFailure::none);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.output.startsWith("Cannot sync — " + home.home() +
                                    "/bin/veldrin did not answer within 2 seconds [disabled]\n"));
    EXPECT_TRUE(r.output.contains("\n  Refreshing cloud status… [disabled]\n")) << r.output.toStdString();
}

TEST(Instance, OneForEachHomeTermQuitsPromptlyAndALockThatCannotBeTakenRefusesTheStart) {
    test::TempHome home;
    // A controller that never lists the apps must not hold up quitting.
    home.writeController(test::recordingController(
        "[ \"$1\" = cloud ] && exit 1; echo $$ >> \"$HOME/pids\"; while :; do sleep 1; done"));
    const SpawnResult first = spawnWithPipe({VELDRIN_BINARY});
    ASSERT_TRUE(test::waitUntil([&] { return !home.readFile("pids").isEmpty(); }));
    // Started again (from a launcher, or with --menu): the running one opens its menu.
    for (const QStringList& again : {QStringList{VELDRIN_BINARY}, QStringList{VELDRIN_BINARY, "--menu"}}) {
        const ShellResult r = shell(again, aMinute);
        EXPECT_EQ(r.output,
                  "veldrin: Veldrin is already running for " + home.home() + "; its menu is open\n");
        EXPECT_EQ(r.status, 0);
    }
    // One that cannot be asked (its socket gone) is only named.
    ASSERT_TRUE(QFile::remove(home.home() + "/.cache/veldrin/menu.socket"));
    EXPECT_EQ(shell({VELDRIN_BINARY}, aMinute).output,
              "veldrin: Veldrin is already running for " + home.home() +
                  "; use its icon in the status bar, or quit it from its menu first\n");
    EXPECT_EQ(shell({VELDRIN_BINARY, "--print-menu"}, aMinute).failure, ShellFailure::none); // not a second
    // TERM ends it though the controller never answers (bench_hung_controller times it).
    kill(first.pid, SIGTERM);
    EXPECT_EQ(waitForExit(first.pid), 0);
    close(first.readFd);
    for (const QString& pid : QString::fromUtf8(home.readFile("pids")).split('\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(test::waitUntil([&] { return !test::processAlive(pid.toLongLong()); }, 5s))
            << pid.toStdString();

    // A dangling link in the lock's place is not followed; a folder there cannot be locked.
    const QString lock = home.home() + "/.cache/veldrin/instance.lock";
    ASSERT_TRUE(QFile::remove(lock) && QFile::link(home.home() + "/../outside", lock));
    ShellResult r = shell({VELDRIN_BINARY}, aMinute);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.output.startsWith("veldrin: cannot open " + lock + ": Too many levels of symbolic links;"));
    EXPECT_FALSE(QFile::exists(home.home() + "/../outside"));
    ASSERT_TRUE(QFile::remove(lock) && QDir().mkpath(lock));
    r = shell({VELDRIN_BINARY}, aMinute);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "veldrin: cannot open " + lock +
                            ": Is a directory; without it Veldrin cannot tell whether it already runs, so it "
                            "does not start\n");
    // A file where a cache folder should be: that folder is named, with the reason.
    for (const QString& folder : {home.home() + "/.cache/veldrin", home.home() + "/.cache"}) {
        ASSERT_TRUE(QDir(home.home() + "/.cache").removeRecursively());
        test::writeFile(folder, "");
        r = shell({VELDRIN_BINARY}, aMinute);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.output.startsWith("veldrin: cannot use the cache folder " + folder +
                                        ": Not a directory; without it Veldrin cannot tell"))
            << r.output.toStdString();
    }
}

TEST(CommandLine, AutostartWithoutOnOrOffIsAUsageError) {
    for (const QStringList& args : {QStringList{"--autostart"}, {"--autostart", "yes"}}) {
        const ShellResult r = shell(QStringList{VELDRIN_BINARY} + args, aMinute);
        EXPECT_TRUE(r.output.startsWith("veldrin: --autostart needs on or off\nusage: veldrin "))
            << r.output.toStdString();
        EXPECT_EQ(r.status, 2);
    }
}

TEST(Environment, AnUnusableHomeOrProgramPathIsRefusedAndNothingIsWritten) {
    test::TempHome home;
    const QByteArray odd = QFile::encodeName(home.home()) + "/h\xff";
    ASSERT_EQ(::mkdir(odd.constData(), 0700), 0);
    const QStringList before = listTree(home.home());
    const QString oddInSh = "\"$HOME/$(printf 'h\\377')\"";
    const std::pair<QString, QString> cases[] = {
        {"unset HOME", "veldrin: HOME is not set; Veldrin needs a home folder\n"},
        {"HOME=relative/home", "veldrin: HOME is not an absolute path: relative/home\n"},
        {"HOME=" + oddInSh, "veldrin: HOME is not valid UTF-8 (" + QString::fromUtf8(odd) +
                                "); Veldrin would misread the folder it names\n"},
    };
    for (const auto& [setHome, said] : cases)
        for (const QStringList& args : {QStringList{}, QStringList{"--autostart", "on"}})
            EXPECT_EQ(sh(setHome + "; exec \"$0\" \"$@\"", args).output, said);
    EXPECT_EQ(listTree(home.home()), before);

    // A program whose own path would be misread gets no login entry.
    const QByteArray program = odd + "/veldrin";
    ASSERT_TRUE(::link(VELDRIN_BINARY, program.constData()) == 0 || sh("cp \"$0\" " + oddInSh).status == 0);
    const ShellResult r = sh("exec " + oddInSh + "/veldrin --autostart on");
    EXPECT_TRUE(r.status == 1 && r.output.contains("the path of this program is not valid UTF-8"))
        << r.output.toStdString();
    EXPECT_FALSE(QFile::exists(home.home() + "/.config/autostart/veldrin.desktop"));
    ::unlink(program.constData()); // names QTemporaryDir could not remove
    ::rmdir(odd.constData());
}

TEST(Autostart, OnWritesALoginEntryThatRunsThisBinaryAndOffRemovesIt) {
    EXPECT_EQ(desktopExecValue("/opt/my apps/ve$ld`r\"n\\x%1"), R"("/opt/my apps/ve\\$ld\\`r\\"n\\\\x%%1")");
    test::TempHome home;
    const QString withConfig = "XDG_CONFIG_HOME=\"$HOME/config\" exec \"$0\" --autostart ";
    const ShellResult on = sh(withConfig + "on");
    const QByteArray entry = home.readFile("config/autostart/veldrin.desktop");
    EXPECT_EQ(on.output,
              "Veldrin will start at login: " + home.home() + "/config/autostart/veldrin.desktop\n");
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\nType=Application\nName=Veldrin\n"));
    EXPECT_TRUE(
        entry.contains("\nExec=\"" + QFileInfo(VELDRIN_BINARY).canonicalFilePath().toUtf8() + "\"\n"));
    EXPECT_EQ(sh(withConfig + "off").status, 0);
    EXPECT_FALSE(QFile::exists(home.home() + "/config/autostart/veldrin.desktop"));
}

TEST(Demo, RunsInItsOwnSandboxEndsOnlyWhatItStartedAndClearsWhatDeadDemosLeft) {
    test::TempHome realHome;
    realHome.writeScript("bin/veldrin", "#!/bin/sh\necho real controller must not run >&2\nexit 9\n");
    const QStringList before = listTree(realHome.home());
    QTemporaryDir tmp;
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));

    // A demo killed with SIGKILL: its owner is gone, its stand-ins still run.
    const QString dead = tmp.path() + "/veldrin-demo-dead";
    const SpawnResult gone = spawnWithPipe({"/bin/true"});
    waitForExit(gone.pid);
    close(gone.readFd);
    QString error;
    ASSERT_TRUE(layOutSandbox(dead + "/home", dead + "/system", &error)) << error.toStdString();
    test::writeFile(dead + "/owner", QByteArray::number(gone.pid) + " 1\n");
    qputenv("HOME", QFile::encodeName(dead + "/home"));
    qputenv("VELDRIN_SYSTEM_ROOT", QFile::encodeName(dead + "/system"));
    DemoApps orphans;
    ASSERT_TRUE(orphans.start(&error)) << error.toStdString();
    qputenv("HOME", QFile::encodeName(realHome.home()));
    qputenv("VELDRIN_SYSTEM_ROOT", QFile::encodeName(realHome.systemRoot()));

    // A running demo, with an unrelated process planted among its stand-ins.
    const SpawnResult running = spawnWithPipe({VELDRIN_BINARY, "--demo"});
    const QString sandbox =
        test::firstLine(running.readFd).section(' ', 4, 4); // "Veldrin demo: sandbox in …"
    QStringList standIns;
    ASSERT_TRUE(test::waitUntil([&] {
        standIns = QDir(sandbox + "/home/.sim/apps").entryList(QDir::Files);
        return standIns.size() == 3;
    }));
    const SpawnResult bystander = spawnWithPipe({"/bin/sleep", "60"});
    test::writeFile(sandbox + "/home/.sim/apps/" + QString::number(bystander.pid), "ChatGPT\n");

    // A second demo clears the dead one's sandbox (whose stand-ins then
    // leave), not the running one's.
    const ShellResult printed = shell({VELDRIN_BINARY, "--demo", "--print-menu"}, {60s, 1 << 20});
    EXPECT_TRUE(printed.output.contains("\nTri behind (build 26 → 27) [disabled]\n"))
        << printed.output.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dead));
    for (const pid_t pid : orphans.running())
        EXPECT_TRUE(test::waitUntil([&] { return !test::processAlive(pid); }, 5s)) << pid;
    EXPECT_TRUE(QFileInfo::exists(sandbox));

    // Quitting ends its own stand-ins and removes its sandbox; the planted one lives on.
    ::kill(running.pid, SIGTERM);
    EXPECT_EQ(waitForExit(running.pid), 0);
    EXPECT_FALSE(QFileInfo::exists(sandbox));
    for (const QString& pid : standIns)
        EXPECT_FALSE(test::processAlive(pid.toLongLong())) << pid.toStdString();
    EXPECT_TRUE(test::processAlive(bystander.pid));
    test::killProcess(bystander.pid);
    waitForExit(bystander.pid);
    for (const int fd : {running.readFd, bystander.readFd})
        close(fd);

    qputenv("TMPDIR", oldTmp);
    EXPECT_EQ(listTree(realHome.home()), before);
    EXPECT_TRUE(QDir(tmp.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}
