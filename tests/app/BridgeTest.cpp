// The background Claude Code sync: its status texts and when it is skipped.
#include "app/Harness.h"

#include "bridge/ClaudeBridge.h"

#include <QDateTime>

#include <gtest/gtest.h>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

// 09:05:30 local time on the fake clock.
void setMorning(test::FakePlatform& fakes) {
    const QDateTime local(QDate(2026, 3, 2), QTime(9, 5, 30));
    fakes.now = TimePoint(std::chrono::milliseconds(local.toMSecsSinceEpoch()));
}

const QByteArray waitForRelease = "while [ ! -f \"$HOME/release\" ]; do sleep 0.05; done";

} // namespace

TEST(ClaudeBridge, OutcomeFromStatusAndOutput) {
    const struct {
        int status;
        QString output, outcome;
    } cases[] = {
        {0, "Scanning\nTranscripts written: 3\n", "synced at 09:05 · 3 updated"},
        {0, "Transcripts written:\n", "synced at 09:05 ·  updated"},
        {0, "Projects: 2\nTranscripts written: \t 12 of 14 \t\nTranscripts written: 9\n",
         "synced at 09:05 · 12 of 14 updated"},
        {0, "a: Transcripts written: x: 7", "synced at 09:05 · 7 updated"},
        {0, "nothing to do\n", "synced at 09:05 · 0 updated"},
        {0, "Transcripts written: 3\nsync is paused\n", "paused"},
        {0, "Sync Paused\n", "synced at 09:05 · 0 updated"},
        {2, "Transcripts written: 3\n", "failed at 09:05 — choose Sync with Claude Code for details"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(claudeBridge::outcome(c.status, c.output, "09:05"), c.outcome) << c.output.toStdString();
}

TEST(ClaudeBridge, RunsInTheBackgroundOneAtATimeAndNotBesideAStreamedRun) {
    test::Harness h("[ \"$1\" = claude ] && { " + waitForRelease +
                    "; echo 'Transcripts written: 3'; }\n"
                    "[ \"$1\" = now ] && " +
                    waitForRelease + "\nexit 0");
    setMorning(h.fakes);
    h.delegate->runClaudeBridgeInBackground();
    EXPECT_TRUE(h.delegate->bridge.claudeBridgeRunning);
    h.delegate->runClaudeBridgeInBackground(); // a tick while it runs
    h.home.writeScript("release", "");
    ASSERT_TRUE(test::waitUntil([&] { return !h.delegate->bridge.claudeBridgeRunning; }));
    EXPECT_EQ(h.delegate->bridge.claudeBridgeStatus, "synced at 09:05 · 3 updated");
    EXPECT_EQ(h.calls().count({"claude", "sync"}), 1);
    EXPECT_TRUE(h.fakes.windows.empty());

    h.delegate->syncNow();
    h.delegate->runClaudeBridgeInBackground(); // skipped, not queued
    EXPECT_FALSE(h.delegate->bridge.claudeBridgeRunning);
    h.home.writeScript("release", "");
    ASSERT_TRUE(h.runFinished());
    EXPECT_EQ(h.calls().count({"claude", "sync"}), 1);
}

TEST(ClaudeBridge, AtItsBoundTermComesFirstAndKillOnlyAfterTheGrace) {
    // On TERM it goes on writing for a moment, then would run for ever.
    test::Harness h("[ \"$1\" = claude ] || exit 0\necho $$ > \"$HOME/pid\"\n"
                    "trap 'echo TERM >> \"$HOME/log\"; sleep 0.3; echo wrote >> \"$HOME/log\"' TERM\n"
                    "while :; do sleep 0.05; done");
    h.delegate->limits.claudeBridge.timeout = 300ms;
    h.delegate->limits.claudeBridge.termGrace = 1500ms;
    setMorning(h.fakes);
    h.delegate->runClaudeBridgeInBackground();
    ASSERT_TRUE(test::waitUntil([&] { return !h.delegate->bridge.claudeBridgeRunning; }));
    EXPECT_EQ(h.home.readFile("log"), "TERM\nwrote\n");
    EXPECT_FALSE(test::processAlive(h.home.readFile("pid").trimmed().toLongLong()));
    EXPECT_EQ(h.delegate->bridge.claudeBridgeStatus,
              "failed at 09:05 — choose Sync with Claude Code for details");
}

TEST(ClaudeBridge, QuittingLeavesARunningSyncToFinishUnlessRunsEndWithVeldrin) {
    for (const bool outlives : {true, false}) {
        test::Harness h("[ \"$1\" = claude ] || exit 0\necho $$ > \"$HOME/pid\"; sleep 0.5; echo done > "
                        "\"$HOME/result\"");
        h.delegate->limits.runsOutliveVeldrin = outlives; // off in the demo
        h.delegate->runClaudeBridgeInBackground();
        ASSERT_TRUE(test::waitUntil([&] { return !h.home.readFile("pid").isEmpty(); }));
        const qint64 pid = h.home.readFile("pid").trimmed().toLongLong();
        h.delegate.reset();
        EXPECT_EQ(test::processAlive(pid), outlives);
        if (outlives) {
            EXPECT_TRUE(test::waitUntil([&] { return h.home.readFile("result") == "done\n"; }));
        }
    }
}
