// The synchronous runner against real child processes.
#include "exec/Shell.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

bool processExists(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

QString procState(pid_t pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray stat = f.readAll();
    const int close = stat.lastIndexOf(')');
    return QString::fromLatin1(stat.mid(close + 2, 1));
}

} // namespace

TEST(Shell, MergesStdoutAndStderrInWriteOrderAndKeepsTrailingNewline) {
    test::TempHome home;
    const QString script = home.writeScript(QStringLiteral("s"), "#!/bin/sh\necho one\necho two >&2\necho three\n"
                                                                 "printf 'four' >&2\nexit 3\n");
    const ShellResult r = shell({script}, 10s);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.output, QStringLiteral("one\ntwo\nthree\nfour"));
}

TEST(Shell, ReturnsLargeOutputWholeWithoutHanging) {
    test::TempHome home;
    // 300 000 bytes: far more than a pipe holds, written before the exit.
    const QString script = home.writeScript(
        QStringLiteral("big"), "#!/bin/sh\ni=0\nwhile [ $i -lt 3000 ]; do\n"
                               "  printf '%099d\\n' $i\n  i=$((i+1))\ndone\nexit 0\n");
    const ShellResult r = shell({script}, 60s);
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.output.size(), 300000);
    EXPECT_TRUE(r.output.startsWith(QStringLiteral("0000")));
    EXPECT_TRUE(r.output.endsWith(QStringLiteral("002999\n")));
}

TEST(Shell, ProgramThatCannotStartGivesStatusOneAndTheReason) {
    test::TempHome home;
    const QString missing = home.home() + QStringLiteral("/bin/veldrin");
    ShellResult r = shell({missing, QStringLiteral("app-processes")}, 10s);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, missing + QStringLiteral(": No such file or directory"));

    const QString notExecutable = home.writeScript(QStringLiteral("plain"), "#!/bin/sh\necho hi\n");
    QFile::setPermissions(notExecutable, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    r = shell({notExecutable}, 10s);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.output.startsWith(notExecutable + QStringLiteral(": "))) << r.output.toStdString();
    EXPECT_NE(r.output, notExecutable + QStringLiteral(": "));
}

TEST(Shell, InvalidUtf8GivesTheEmptyTextWithTheRealStatus) {
    test::TempHome home;
    const QString bad = home.writeScript(QStringLiteral("bad"), "#!/bin/sh\nprintf 'ok \\377 no\\n'\nexit 0\n");
    ShellResult r = shell({bad}, 10s);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.output.isEmpty());

    // A character cut off at the end is invalid too.
    const QString cut = home.writeScript(QStringLiteral("cut"), "#!/bin/sh\nprintf 'caf\\303'\nexit 4\n");
    r = shell({cut}, 10s);
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(r.output.isEmpty());

    const QString good = home.writeScript(QStringLiteral("good"), "#!/bin/sh\nprintf 'caf\\303\\251 \\342\\206\\224\\n'\n");
    r = shell({good}, 10s);
    EXPECT_EQ(r.output, QStringLiteral("café ↔\n"));
}

TEST(Shell, ArgumentsReachTheChildUnchanged) {
    test::TempHome home;
    const QString controller = home.writeController(test::recordingController());
    const QStringList args{QStringLiteral("two words"),
                           QStringLiteral("it's \"quoted\""),
                           QStringLiteral("$(touch pwned)"),
                           QStringLiteral("`touch pwned2`"),
                           QStringLiteral("line\nbreak"),
                           QStringLiteral("*"),
                           QStringLiteral(""),
                           QStringLiteral("Ünïcødé ↔ 🙂"),
                           QStringLiteral("; rm -rf / #")};
    const ShellResult r = shell(QStringList{controller} + args, 10s);
    EXPECT_EQ(r.status, 0);
    const auto calls = test::recordedCalls(home);
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls.first(), args);
    EXPECT_FALSE(QFile::exists(QDir::current().filePath(QStringLiteral("pwned"))));
    EXPECT_FALSE(QFile::exists(home.home() + QStringLiteral("/pwned")));
}

TEST(Shell, ChildInheritsEnvironmentAndWorkingFolderButNoDescriptor) {
    test::TempHome home;
    // A descriptor of ours opened without close-on-exec must still stay ours.
    const int leaky = open("/dev/null", O_RDONLY);
    ASSERT_GE(leaky, 0);
    qputenv("VELDRIN_TEST_MARKER", "marker value");
    const QString script = home.writeScript(QStringLiteral("fds"),
                                            "#!/bin/sh\necho \"env=$VELDRIN_TEST_MARKER\"\necho \"cwd=$(pwd)\"\n"
                                            "ls /proc/self/fd\n");
    const ShellResult r = shell({script}, 10s);
    close(leaky);
    qunsetenv("VELDRIN_TEST_MARKER");
    EXPECT_TRUE(r.output.contains(QStringLiteral("env=marker value\n")));
    EXPECT_TRUE(r.output.contains(QStringLiteral("cwd=") + QDir::currentPath() + QLatin1Char('\n')));
    // `ls /proc/self/fd` lists the shell's 0, 1, 2, ls's own directory
    // descriptor, and nothing else of ours.
    QStringList fds;
    for (const QString& line : r.output.split(QLatin1Char('\n'))) {
        bool number = false;
        line.toInt(&number);
        if (number)
            fds << line;
    }
    EXPECT_LE(fds.size(), 4) << r.output.toStdString();
    EXPECT_FALSE(fds.contains(QString::number(leaky))) << r.output.toStdString();
}

TEST(Shell, ChildThatDoesNotAnswerIsKilledAndReaped) {
    test::TempHome home;
    const QString pidFile = home.home() + QStringLiteral("/pids");
    // The child and a helper of its own both hang; both must be gone afterwards.
    const QString script = home.writeScript(QStringLiteral("hang"),
                                            "#!/bin/sh\nsleep 1000 &\necho \"$$ $!\" > \"$HOME/pids\"\n"
                                            "echo started\nwhile :; do sleep 1; done\n");
    QElapsedTimer t;
    t.start();
    const ShellResult r = shell({script}, 1500ms);
    EXPECT_LT(t.elapsed(), 8000);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, script + QStringLiteral(" did not answer within 1 seconds"));

    const QStringList pids = QString::fromUtf8(home.readFile(QStringLiteral("pids"))).trimmed().split(QLatin1Char(' '));
    ASSERT_EQ(pids.size(), 2);
    const pid_t child = pids[0].toInt();
    const pid_t helper = pids[1].toInt();
    // Reaped: no longer our child, so no zombie of it is left.
    EXPECT_EQ(waitpid(child, nullptr, WNOHANG), -1);
    EXPECT_FALSE(processExists(child));
    ASSERT_TRUE(test::waitUntil([&] { return !processExists(helper) || procState(helper) == QLatin1String("Z"); }, 5s));
}

TEST(Shell, SignalledChildReportsTheSignalNumber) {
    test::TempHome home;
    const QString script = home.writeScript(QStringLiteral("sig"), "#!/bin/sh\necho before\nkill -TERM $$\n");
    const ShellResult r = shell({script}, 10s);
    EXPECT_EQ(r.status, SIGTERM);
    EXPECT_EQ(r.output, QStringLiteral("before\n"));
}
