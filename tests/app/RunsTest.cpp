// Streamed controller runs into log windows, and the background Claude Code
// sync: real controller scripts, what they leave, and when they are skipped.

#include "app/Harness.h"
#include "base/Paths.h"
#include "bridge/ClaudeBridge.h"
#include "history/PastRuns.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <gtest/gtest.h>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

void setMorning(test::FakePlatform& fakes) {
    const QDateTime local(QDate(2026, 3, 2), QTime(9, 5, 30));
    fakes.now = TimePoint(std::chrono::milliseconds(local.toMSecsSinceEpoch()));
}

const QByteArray waitForRelease = "while [ ! -f \"$HOME/release\" ]; do sleep 0.05; done";

} // namespace

TEST(ControllerRun, WorkingWhileItLastsASecondIsDroppedAndEveryByteArrivesInOrder) {
    test::Harness h("[ \"$1\" = now ] && { echo go; echo err >&2; " + waitForRelease +
                    "; echo out; exit 5; }; exit 0");
    test::FakeStatusItem& item = h.statusItem();
    h.delegate->syncNow();
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
    EXPECT_EQ(h.transcript(), "go\nerr\nout\n\nFinished with exit code 5.\n");
    ASSERT_TRUE(test::waitUntil([&] { return h.delegate->indicator.state == SyncState::ready; }));
    EXPECT_EQ(h.calls(), (QList<QStringList>{{"now"}, {"app-processes"}}));
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
    EXPECT_EQ(h.transcript(), "fine\n\nFinished with exit code 0.\n");
}

// A streamed run and a background sync both go on writing after Veldrin has
// stopped reading; the demo ends them instead.
TEST(ControllerRun, QuittingLeavesRunsToFinishUnlessTheyEndWithVeldrin) {
    for (const bool outlives : {true, false})
        for (const auto& [command, start] : {std::pair{"now", &AppDelegate::syncNow},
                                             {"claude", &AppDelegate::runClaudeBridgeInBackground}}) {
            test::Harness h("[ \"$1\" = " + QByteArray(command) + " ] || exit 0\necho $$ > \"$HOME/pid\"; " +
                            waitForRelease + "; echo done > \"$HOME/result\"");
            h.delegate->limits.runsOutliveVeldrin = outlives;
            (h.delegate.get()->*start)();
            ASSERT_TRUE(test::waitUntil([&] { return !h.home.readFile("pid").isEmpty(); }));
            const qint64 pid = h.home.readFile("pid").trimmed().toLongLong();
            h.delegate.reset(); // returns without waiting for the run: it has not been released
            EXPECT_TRUE(test::waitUntil([&] { return test::processAlive(pid) == outlives; })) << command;
            h.home.writeScript("release", "");
            if (outlives)
                EXPECT_TRUE(test::waitUntil([&] { return h.home.readFile("result") == "done\n"; }))
                    << command;
            else
                EXPECT_EQ(h.home.readFile("result"), "") << command;
        }
}

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
    test::Harness h("case $1 in claude) " + waitForRelease + "; echo 'Transcripts written: 3' ;; now) " +
                    waitForRelease + " ;; esac");
    setMorning(h.fakes);
    h.delegate->runClaudeBridgeInBackground();
    EXPECT_TRUE(h.delegate->bridge.claudeBridgeRunning);
    h.delegate->runClaudeBridgeInBackground(); // a tick while it runs
    h.home.writeScript("release", "");
    ASSERT_TRUE(test::waitUntil([&] { return !h.delegate->bridge.claudeBridgeRunning; }));
    EXPECT_EQ(h.delegate->bridge.claudeBridgeStatus, "synced at 09:05 · 3 updated");
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

TEST(ControllerRun, StopAsksThenEndsTheWholeGroupTermFirstThenKill) {
    // It ignores TERM, and leaves a helper in its process group.
    test::Harness h("[ \"$1\" = audit ] || exit 0\ntrap '' TERM\nsleep 60 & echo $! > \"$HOME/helper\"\n"
                    "echo working\nwhile :; do sleep 0.05; done");
    h.delegate->limits.stopKillAfter = 300ms;
    h.statusItem();
    h.delegate->auditProfiles();
    const auto window = h.fakes.lastWindow();
    ASSERT_TRUE(test::waitUntil([&] { return !h.home.readFile("helper").isEmpty(); }));
    EXPECT_EQ(window->strip, "running");
    // The icon's tooltip tells the run going on.
    EXPECT_TRUE(
        h.fakes.events.contains("toolTip:Veldrin 0.1.0 (build 1)\nWorking…\nRunning: Veldrin Audit (0:00)"));
    h.fakes.alertAnswers = {1, firstButton};
    window->requestStop(); // Cancel
    EXPECT_TRUE(h.delegate->runs.activeProcess);
    window->requestStop();
    ASSERT_TRUE(h.runFinished());
    ASSERT_EQ(h.fakes.alerts.size(), 2u);
    EXPECT_EQ(
        h.fakes.alerts[1].message + "|" + h.fakes.alerts[1].informativeText,
        "Stop Veldrin Audit?|Stopping may leave the job half done. Veldrin asks it to stop, and ends it "
        "if it has not stopped within 5 seconds.");
    EXPECT_EQ(h.fakes.alerts[1].buttons, (QStringList{"Stop Run", "Cancel"}));
    EXPECT_EQ(h.transcript(), "working\nStopped by user.\n\nFinished with exit code 9.\n");
    EXPECT_EQ(window->strip, "Stopped — 0:00");
    EXPECT_FALSE(test::processAlive(h.home.readFile("helper").trimmed().toLongLong()));

    // One that goes at TERM, leaving a helper that ignores it: the KILL after
    // the grace still reaches the helper.
    test::Harness g("[ \"$1\" = audit ] || exit 0\n( trap '' TERM; exec sleep 60 ) &\n"
                    "echo $! > \"$HOME/helper\"\necho working\nwhile :; do sleep 0.05; done");
    g.delegate->limits.stopKillAfter = 300ms;
    g.delegate->auditProfiles();
    ASSERT_TRUE(test::waitUntil([&] { return !g.home.readFile("helper").isEmpty(); }));
    g.fakes.alertAnswers = {firstButton};
    g.fakes.lastWindow()->requestStop();
    ASSERT_TRUE(g.runFinished());
    EXPECT_EQ(g.transcript(), "working\nStopped by user.\n\nFinished with exit code 15.\n");
    EXPECT_FALSE(test::processAlive(g.home.readFile("helper").trimmed().toLongLong()));
    // The user stopped them: nothing to tell.
    EXPECT_TRUE(h.fakes.notifications.empty() && g.fakes.notifications.empty());
}

TEST(RunHistory, EveryRunIsSavedAsShownListedInRecentRunsAndComesBackFromItsFile) {
    test::Harness h("[ \"$1\" = audit ] && { echo 'Audit <finished> & done'; exit 3; }; exit 0");
    setMorning(h.fakes);
    test::FakeStatusItem& item = h.statusItem();
    h.delegate->auditProfiles();
    ASSERT_TRUE(h.runFinished());
    const auto window = h.fakes.lastWindow();
    const QString transcript = "Audit <finished> & done\n\nFinished with exit code 3.\n";
    EXPECT_EQ(window->strip, "Failed — exit code 3 · 0:00");
    // On disk a moment later: the writer thread catches up.
    QFile saved(window->historyFile);
    ASSERT_TRUE(test::waitUntil([&] {
        saved.close();
        return saved.open(QIODevice::ReadOnly) && saved.readAll() == transcript.toUtf8();
    }));
    // Named by its start in UTC; listed by its start in local time.
    EXPECT_EQ(QFileInfo(saved).fileName(),
              QDateTime::fromMSecsSinceEpoch(h.fakes.now.time_since_epoch().count(), Qt::UTC)
                      .toString("yyyy-MM-dd_HHmmss") +
                  "Z_Veldrin Audit.log");
    const test::CapturedMenu menu = item.open();
    const auto recent = std::find_if(menu.entries.begin(), menu.entries.end(),
                                     [](const MenuEntry& e) { return e.title == "Recent Runs"; });
    ASSERT_TRUE(recent != menu.entries.end() && recent->submenu);
    EXPECT_EQ(recent->submenu->entries.front().title, "09:05 Veldrin Audit — failed, exit code 3");

    // Unwatched, it told the desktop (RunNotification follows that through).
    ASSERT_EQ(h.fakes.notifications.size(), 1u);
    // After a restart it comes back from its file, with how it ended.
    h.delegate->runs.recent.clear();
    h.delegate->history.past = pastRuns(QFileInfo(window->historyFile).path(), 10);
    h.delegate->openRecentRun(window->historyFile);
    ASSERT_TRUE(test::waitUntil(
        [&] { return h.fakes.windows.size() == 2 && !h.fakes.lastWindow()->strip.isEmpty(); }));
    EXPECT_EQ(h.fakes.lastWindow()->title, "Veldrin Audit");
    EXPECT_EQ(h.transcript(), transcript);
    EXPECT_EQ(h.fakes.lastWindow()->strip, "Failed — exit code 3 · 0:00");
    // Of a huge saved run only the end is read: more than a window keeps, not the whole.
    const QString huge = QFileInfo(window->historyFile).dir().filePath("2026-03-01_080000Z_Huge.log");
    test::writeFile(huge, QByteArray(40 * 1024 * 1024, 'x') + "\nthe end\n");
    h.delegate->history.past.append({huge, "Huge", h.fakes.now, std::nullopt});
    h.delegate->openRecentRun(huge);
    ASSERT_TRUE(test::waitUntil([&] { return h.transcript().endsWith("the end\n"); }));
    EXPECT_LT(h.transcript().size(), 26 * 1024 * 1024);
    h.delegate->history.past.removeLast();

    // A watched run tells nothing: its window in front, or an alert of Veldrin's open.
    h.home.writeController(test::recordingController("sleep 0.2"));
    h.delegate->auditProfiles();
    h.fakes.lastWindow()->active = true;
    ASSERT_TRUE(h.runFinished());
    h.delegate->auditProfiles();
    h.fakes.whileAlertShows = [&] { ASSERT_TRUE(h.runFinished()); };
    h.delegate->openCloudLogin(); // asks first: the run ends while it asks
    EXPECT_EQ(h.fakes.notifications.size(), 1u);
    h.delegate->perform(Action::showAllRuns, {});
    EXPECT_TRUE(h.fakes.events.contains("openFolder:" + h.home.home() + "/.local/state/veldrin/runs"));
    // A folder that cannot be made is said, not opened. (Removed once the three runs' outcomes are
    // written, and again while the writer, pruning, removes files under it.)
    ASSERT_TRUE(test::waitUntil([&] {
        return QDir(h.home.home() + "/.local/state/veldrin/runs").entryList({"*.outcome"}).size() == 3;
    }));
    ASSERT_TRUE(
        test::waitUntil([&] { return QDir(h.home.home() + "/.local/state/veldrin").removeRecursively(); }));
    test::writeFile(h.home.home() + "/.local/state/veldrin", "a file");
    h.fakes.events.clear();
    h.delegate->perform(Action::showAllRuns, {});
    ASSERT_FALSE(h.fakes.alerts.empty());
    EXPECT_EQ(h.fakes.alerts.back().message, "Could not show the runs");
    EXPECT_FALSE(h.fakes.events.join('|').contains("openFolder"));
}

TEST(ClaudeBridge, NotifiesWhenItTurnsToFailingAndOnceWhenItRecovers) {
    test::Harness h("[ \"$1\" = claude ] && exit \"$(cat \"$HOME/status\")\"; exit 0");
    QStringList told;
    for (const char* status : {"0", "1", "1", "0", "0"}) {
        h.home.writeScript("status", status);
        h.delegate->runClaudeBridgeInBackground();
        ASSERT_TRUE(test::waitUntil([&] { return !h.delegate->bridge.claudeBridgeRunning; }));
    }
    for (const auto& [notification, click] : h.fakes.notifications)
        told << notification.summary;
    EXPECT_EQ(told, (QStringList{"Claude Code sync failed", "Claude Code sync works again"}));
}
