// The veldrin program itself: --print-menu and --version, one instance per
// home folder, the environments it refuses, quitting on TERM, and the login
// entry.
#include "app/Autostart.h"
#include "exec/Shell.h"
#include "exec/Spawn.h"
#include "plist/PlistWriter.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
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

// Runs veldrin with these variables changed (an empty value unsets one), as raw bytes.
ShellResult veldrinWith(const std::vector<std::pair<const char*, QByteArray>>& variables,
                        const QStringList& args) {
    std::vector<std::pair<const char*, std::optional<QByteArray>>> saved;
    for (const auto& [name, value] : variables) {
        saved.emplace_back(name,
                           qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        value.isEmpty() ? qunsetenv(name) : qputenv(name, value);
    }
    const ShellResult result = shell(QStringList{VELDRIN_BINARY} + args, aMinute);
    for (const auto& [name, value] : saved)
        value ? qputenv(name, *value) : qunsetenv(name);
    return result;
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
    EXPECT_TRUE(r.output.startsWith("Ready — click Sync Now [disabled]\n"
                                    "Veldrin 0.1.0 (build 1) [disabled]\n"
                                    "Alt behind (build \u2068" // the file's text on one line, isolated
                                    "27 \u202E"
                                    "evil\u202C\u2069 → 27) [disabled]\n"
                                    "Tri behind (build 26 → 27) [disabled]\n"))
        << r.output.toStdString();
    EXPECT_TRUE(r.output.endsWith("\nQuit Veldrin [key q]\n"));
    // The launch's checks; the opening that follows at once uses their answers.
    QList<QStringList> calls = test::recordedCalls(home);
    std::sort(calls.begin(), calls.end());
    EXPECT_EQ(calls, (QList<QStringList>{{"app-processes"}, {"cloud", "status"}}));
    EXPECT_EQ(shell({VELDRIN_BINARY, "--version"}, aMinute).output, "Veldrin 0.1.0 (build 1)\n");
}

TEST(PrintMenu, AHungControllerShowsAsPendingAsSoonAsAnOpeningWouldShowIt) {
    test::TempHome home;
    home.writeController(test::recordingController("exec sleep 60"));
    QElapsedTimer t;
    t.start();
    const ShellResult r = shell({VELDRIN_BINARY, "--print-menu"}, aMinute);
    // Two seconds of waiting, as an opening waits, and the start and the exit.
    EXPECT_LT(t.elapsed(), 2500);
    EXPECT_TRUE(r.output.startsWith("Cannot sync — " + home.home() +
                                    "/bin/veldrin did not answer within 2 seconds [disabled]\n"))
        << r.output.toStdString();
    EXPECT_TRUE(r.output.contains("\n  Refreshing cloud status… [disabled]\n"));
}

TEST(Instance, SecondOneForTheSameHomeLeavesAtOnceAndTermQuitsPromptly) {
    test::TempHome home;
    // A controller that never lists the apps must not hold up quitting.
    home.writeController(test::recordingController(
        "[ \"$1\" = cloud ] && exit 1; echo $$ >> \"$HOME/pids\"; while :; do sleep 1; done"));
    const SpawnResult first = spawnWithPipe({VELDRIN_BINARY});
    ASSERT_TRUE(first.started());
    ASSERT_TRUE(test::waitUntil([&] { return !home.readFile("pids").isEmpty(); }));

    const ShellResult second = shell({VELDRIN_BINARY}, aMinute);
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.output, "veldrin: Veldrin is already running for " + home.home() +
                                 "; use its icon in the status bar, or quit it from its menu first\n");
    // A menu print is not a second instance.
    EXPECT_EQ(shell({VELDRIN_BINARY, "--print-menu"}, aMinute).failure, ShellFailure::none);

    QElapsedTimer t;
    t.start();
    kill(first.pid, SIGTERM);
    EXPECT_EQ(waitForExit(first.pid), 0);
    EXPECT_LT(t.elapsed(), 2000);
    close(first.readFd);
    for (const QString& pid : QString::fromUtf8(home.readFile("pids")).split('\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(test::waitUntil([&] { return !test::processAlive(pid.toLongLong()); }, 5s))
            << "query " << pid.toStdString();
}

TEST(Instance, ALockThatCannotBeTakenRefusesTheStartAndFollowsNoLink) {
    test::TempHome home;
    home.writeController(test::recordingController());
    const QString lock = home.home() + "/.cache/veldrin/instance.lock";
    const QString outside = home.home() + "/../outside";
    QDir().mkpath(home.home() + "/.cache/veldrin");
    ASSERT_TRUE(QFile::link(outside, lock)); // dangling
    ShellResult r = shell({VELDRIN_BINARY}, aMinute);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.output.startsWith("veldrin: cannot open " + lock + ": Too many levels of symbolic links;"))
        << r.output.toStdString();
    EXPECT_FALSE(QFile::exists(outside));

    QFile::remove(lock);
    QDir().mkpath(lock); // a folder in its place
    r = shell({VELDRIN_BINARY}, aMinute);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.output.endsWith("; without it Veldrin cannot tell whether it already runs, so it does not "
                                  "start\n"))
        << r.output.toStdString();
    EXPECT_TRUE(test::recordedCalls(home).isEmpty());
}

TEST(Environment, AnUnusableHomeOrProgramPathIsRefusedAndNothingIsWritten) {
    test::TempHome home;
    const QByteArray odd = QFile::encodeName(home.home()) + "/h\xff";
    ASSERT_EQ(::mkdir(odd.constData(), 0700), 0);
    const QStringList before =
        QDir(home.home()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const struct {
        QByteArray home;
        QString said;
    } cases[] = {
        {{}, "veldrin: HOME is not set; Veldrin needs a home folder\n"},
        {"relative/home", "veldrin: HOME is not an absolute path: relative/home\n"},
        {odd, "veldrin: HOME is not valid UTF-8 (" + QString::fromUtf8(odd) +
                  "); Veldrin would misread the folder it names\n"},
    };
    for (const auto& c : cases) {
        for (const QStringList& args : {QStringList{}, QStringList{"--autostart", "on"}}) {
            const ShellResult r = veldrinWith({{"HOME", c.home}}, args);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.output, c.said);
        }
    }
    EXPECT_EQ(QDir(home.home()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);

    // A program whose own path would be misread gets no login entry. (The
    // shell spells the path's bytes: a QString cannot hold them.)
    const QByteArray program = odd + "/veldrin";
    ASSERT_TRUE(
        ::link(VELDRIN_BINARY, program.constData()) == 0 ||
        shell({"/bin/sh", "-c", "cp \"$1\" \"$HOME/$(printf 'h\\377')/veldrin\"", "sh", VELDRIN_BINARY},
              aMinute)
                .status == 0);
    const ShellResult r =
        shell({"/bin/sh", "-c", "exec \"$HOME/$(printf 'h\\377')/veldrin\" --autostart on"}, aMinute);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.output.contains("the path of this program is not valid UTF-8")) << r.output.toStdString();
    EXPECT_FALSE(QFile::exists(home.home() + "/.config/autostart/veldrin.desktop"));
    ::unlink(program.constData()); // a name QTemporaryDir could not remove
    ::rmdir(odd.constData());
}

TEST(Autostart, OnWritesALoginEntryThatRunsThisBinaryAndOffRemovesIt) {
    EXPECT_EQ(desktopExecValue("/opt/my apps/ve$ld`r\"n\\x%1"), R"("/opt/my apps/ve\\$ld\\`r\\"n\\\\x%%1")");
    test::TempHome home;
    const QByteArray config = (home.home() + "/config").toUtf8();
    const ShellResult on = veldrinWith({{"XDG_CONFIG_HOME", config}}, {"--autostart", "on"});
    const QByteArray entry = home.readFile("config/autostart/veldrin.desktop");
    EXPECT_EQ(on.output,
              "Veldrin will start at login: " + home.home() + "/config/autostart/veldrin.desktop\n");
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\nType=Application\nName=Veldrin\n"));
    EXPECT_TRUE(
        entry.contains("\nExec=\"" + QFileInfo(VELDRIN_BINARY).canonicalFilePath().toUtf8() + "\"\n"));
    EXPECT_EQ(veldrinWith({{"XDG_CONFIG_HOME", config}}, {"--autostart", "off"}).status, 0);
    EXPECT_FALSE(QFile::exists(home.home() + "/config/autostart/veldrin.desktop"));
}
