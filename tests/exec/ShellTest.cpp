// The synchronous runner against real child processes.
#include "exec/Shell.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

const QueryLimits roomy{10s, 4 * 1024 * 1024};

QList<qint64> pidsIn(const test::TempHome& home, const QString& file) {
    QList<qint64> pids;
    for (const QString& p :
         QString::fromUtf8(home.readFile(file)).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        pids << p.trimmed().toLongLong();
    return pids;
}

} // namespace

TEST(Shell, MergesBothStreamsInWriteOrderAndReturnsEverything) {
    test::TempHome home;
    const QString mixed =
        home.writeScript("s", "#!/bin/sh\necho one\necho two >&2\necho three\nprintf 'four' >&2\nexit 3\n");
    ShellResult r = shell({mixed}, roomy);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.failure, ShellFailure::none);
    EXPECT_EQ(r.output, "one\ntwo\nthree\nfour");

    // Far more than a pipe holds, written before the exit.
    const QString big =
        home.writeScript("big", "#!/bin/sh\ni=0\nwhile [ $i -lt 3000 ]; do printf '%099d\\n' $i; "
                                "i=$((i+1)); done\n");
    r = shell({big}, roomy);
    ASSERT_EQ(r.output.size(), 300000);
    EXPECT_TRUE(r.output.endsWith("002999\n"));
}

TEST(Shell, ProgramThatCannotStartGivesStatusOneAndTheReason) {
    test::TempHome home;
    const QString missing = home.home() + QStringLiteral("/bin/veldrin");
    ShellResult r = shell({missing, QStringLiteral("app-processes")}, roomy);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.failure, ShellFailure::couldNotStart);
    EXPECT_EQ(r.output, missing + QStringLiteral(": No such file or directory"));

    const QString plain = home.writeScript("plain", "#!/bin/sh\necho hi\n");
    QFile::setPermissions(plain, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    r = shell({plain}, roomy);
    EXPECT_EQ(r.failure, ShellFailure::couldNotStart);
    EXPECT_EQ(r.output, plain + QStringLiteral(": Permission denied"));
}

TEST(Shell, InvalidUtf8IsEmptiedOrReplacedAsAsked) {
    test::TempHome home;
    const struct {
        const char* printf;
        QString strict;
        QString replaced;
    } cases[] = {
        {"caf\\303\\251 \\342\\206\\224\\n", "café ↔\n", QStringLiteral("café ↔\n")},
        {"ok \\377 no\\n", QString(), QStringLiteral("ok \uFFFD no\n")},
        {"caf\\303", QString(), QStringLiteral("caf\uFFFD")}, // cut off at the end
    };
    for (const auto& c : cases) {
        const QString script =
            home.writeScript("p", QByteArray("#!/bin/sh\nprintf '") + c.printf + "'\nexit 4\n");
        const ShellResult strict = shell({script}, roomy);
        EXPECT_EQ(strict.status, 4);
        EXPECT_EQ(strict.output, c.strict) << c.printf;
        EXPECT_EQ(shell({script}, roomy, {}, InvalidUtf8::replace).output, c.replaced) << c.printf;
    }
}

TEST(Shell, ArgumentsReachTheChildUnchangedWithoutAShell) {
    test::TempHome home;
    const QString controller = home.writeController(test::recordingController());
    const QStringList args{
        "two words", "it's \"quoted\"",      "$(touch pwned)", "`touch pwned2`", "line\nbreak", "*",
        "",          "Ünïcødé ↔ 🙂", "; rm -rf / #"};
    EXPECT_EQ(shell(QStringList{controller} + args, roomy).status, 0);
    EXPECT_EQ(test::recordedCalls(home), QList<QStringList>{args});
    EXPECT_FALSE(QFile::exists(home.home() + QStringLiteral("/pwned")));
    EXPECT_FALSE(QFile::exists(QDir::current().filePath("pwned")));
}

TEST(Shell, ChildInheritsEnvironmentAndFolderButNoOtherDescriptor) {
    test::TempHome home;
    const int leaky = open("/dev/null", O_RDONLY); // no close-on-exec
    qputenv("VELDRIN_TEST_MARKER", "marker value");
    const QString script = home.writeScript("fds", "#!/bin/sh\necho \"env=$VELDRIN_TEST_MARKER\"\necho "
                                                   "\"cwd=$(pwd)\"\nls /proc/self/fd | tr '\\n' ' '\n");
    const ShellResult r = shell({script}, roomy);
    close(leaky);
    qunsetenv("VELDRIN_TEST_MARKER");
    EXPECT_TRUE(r.output.contains("env=marker value\n"));
    EXPECT_TRUE(r.output.contains(QStringLiteral("cwd=") + QDir::currentPath() + QLatin1Char('\n')));
    // ls lists 0, 1, 2 and the descriptor of its own listing, nothing of ours.
    EXPECT_EQ(r.output.section(QLatin1Char('\n'), 2).split(QLatin1Char(' '), Qt::SkipEmptyParts).size(), 4)
        << r.output.toStdString();
}

TEST(Shell, ProgramThatBreaksALimitIsKilledWithItsHelpersAndReaped) {
    test::TempHome home;
    const QueryLimits tight{700ms, 64 * 1024};
    const struct {
        const char* body;
        ShellFailure failure;
        QString suffix;
    } cases[] = {
        {"echo started\nwhile :; do sleep 1; done", ShellFailure::noAnswer,
         " did not answer within 0.7 seconds"},
        {"while :; do echo flooding flooding flooding; done", ShellFailure::tooMuchOutput,
         " printed more than 65536 bytes"},
        // Closes its output, yet keeps running.
        {"exec >/dev/null 2>&1\nwhile :; do sleep 1; done", ShellFailure::noAnswer,
         " did not answer within 0.7 seconds"},
    };
    for (const auto& c : cases) {
        const QString script = home.writeScript(
            "limit",
            QByteArray("#!/bin/sh\nsleep 1000 &\necho \"$$ $!\" > \"$HOME/pids\"\n") + c.body + "\n");
        QElapsedTimer t;
        t.start();
        const ShellResult r = shell({script}, tight);
        EXPECT_LT(t.elapsed(), 5000) << c.body;
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.failure, c.failure) << c.body;
        EXPECT_EQ(r.output, script + c.suffix);
        const QList<qint64> pids = pidsIn(home, "pids");
        ASSERT_EQ(pids.size(), 2);
        EXPECT_FALSE(test::processAlive(pids[0])) << "the program";
        EXPECT_TRUE(test::waitUntil([&] { return !test::processAlive(pids[1]); }, 5s)) << "its helper";
    }
}
