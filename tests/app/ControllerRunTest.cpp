// Streamed controller runs, through a real controller script into a log window.
#include "app/Harness.h"

#include "base/Paths.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

const QString closing0 = QStringLiteral("\nFinished with exit code 0.\n");

} // namespace

TEST(ControllerRun, WorkingWhileItLastsAndASecondOperationIsDropped) {
    test::Harness h(
        "[ \"$1\" = now ] && { echo go; while [ ! -f \"$HOME/release\" ]; do sleep 0.05; done; }; exit 0");
    test::FakeStatusItem& item = h.statusItem();
    h.delegate->syncNow();
    ASSERT_TRUE(h.delegate->runs.activeProcess);
    EXPECT_EQ(h.delegate->indicator.state, SyncState::working);

    h.delegate->auditProfiles();
    h.delegate->showSyncLogs();
    EXPECT_EQ(h.fakes.windows.size(), 1u);
    const test::CapturedMenu menu = item.open();
    EXPECT_EQ(menu.entries.front().title, "Working…");
    EXPECT_FALSE(menu.find(Action::showSyncLogs)->enabled);
    EXPECT_TRUE(menu.find(Action::auditProfiles)->enabled);

    h.home.writeScript("release", "");
    ASSERT_TRUE(h.runFinished());
    EXPECT_EQ(h.transcript(), QStringLiteral("go\n") + closing0);
    ASSERT_TRUE(test::waitUntil([&] { return h.delegate->indicator.state == SyncState::ready; }));
    EXPECT_EQ(h.calls(), (QList<QStringList>{{"now"}, {"app-processes"}}));
}

TEST(ControllerRun, TranscriptKeepsEveryByteInOrderBeforeTheClosingLine) {
    const struct {
        QByteArray body;
        QString transcript;
    } cases[] = {
        {"echo out1; sleep 0.05; echo err1 >&2; sleep 0.05; echo out2; exit 5",
         "out1\nerr1\nout2\n\nFinished with exit code 5.\n"},
        // A character split across two writes, an invalid byte, a cut-off end.
        {"printf 'caf\\303'; sleep 0.2; printf '\\251 ok \\377 end\\n'; printf 'tail \\342\\206'",
         "café ok \uFFFD end\ntail \uFFFD" + closing0},
    };
    for (const auto& c : cases) {
        test::Harness h(c.body);
        h.delegate->runController({"now"}, "Veldrin");
        ASSERT_TRUE(h.runFinished());
        EXPECT_EQ(h.transcript(), c.transcript) << c.body.constData();
    }
}

TEST(ControllerRun, MissingControllerSaysSoAndTheNextRunStartsNormally) {
    test::Harness h;
    test::FakeStatusItem& item = h.statusItem();
    QFile::remove(controller());
    h.delegate->runController({"audit"}, "Veldrin Audit");
    EXPECT_FALSE(h.delegate->runs.activeProcess);
    EXPECT_TRUE(item.indicators.empty());
    EXPECT_EQ(h.transcript(), "Could not start: " + controller() + ": No such file or directory\n");

    h.home.writeController(test::recordingController("echo fine"));
    h.delegate->syncNow();
    ASSERT_TRUE(h.runFinished());
    EXPECT_EQ(h.transcript(), QStringLiteral("fine\n") + closing0);
}

TEST(ControllerRun, EndsWhenTheControllerExitsEvenIfAHelperHoldsItsOutput) {
    // The helper writes once more after the exit, then holds the pipe for good.
    test::Harness h("[ \"$1\" = audit ] || exit 0\n"
                    "echo working; (sleep 0.3; echo straggler; exec sleep 60) & echo $! > \"$HOME/helper\"; "
                    "echo done; exit 0");
    QElapsedTimer t;
    t.start();
    h.delegate->auditProfiles();
    ASSERT_TRUE(test::waitUntil([&] { return !h.delegate->runs.activeProcess; }, 5s));
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_EQ(h.transcript(), QStringLiteral("working\ndone\nstraggler\n") + closing0);
    test::killProcess(h.home.readFile("helper").trimmed().toLongLong());
}

TEST(ControllerRun, QuittingLeavesARunningControllerToFinishUnlessRunsEndWithVeldrin) {
    for (const bool outlives : {true, false}) {
        // It goes on writing after Veldrin has stopped reading.
        test::Harness h(
            "[ \"$1\" = now ] || exit 0\n"
            "echo $$ > \"$HOME/pid\"; sleep 1; echo still talking; echo finished > \"$HOME/result\"");
        h.delegate->limits.runsOutliveVeldrin = outlives; // off in the demo
        h.delegate->syncNow();
        ASSERT_TRUE(test::waitUntil([&] { return !h.home.readFile("pid").isEmpty(); }));
        const qint64 pid = h.home.readFile("pid").trimmed().toLongLong();
        QElapsedTimer t;
        t.start();
        h.delegate.reset();
        EXPECT_LT(t.elapsed(), 1000);
        EXPECT_EQ(test::processAlive(pid), outlives);
        if (outlives) {
            EXPECT_TRUE(test::waitUntil([&] { return !h.home.readFile("result").isEmpty(); }, 10s));
        }
    }
}
