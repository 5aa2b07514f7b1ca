// Launch and its timers, the sync state: its rules, the app-processes query
// off the main thread, the bounded waits of menu opening, and the pause switch.
#include "app/Harness.h"

#include "base/Paths.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

// app-processes prints $HOME/running; pause and resume make and remove the marker.
const QByteArray pauseAware = R"(
case "$1" in
  pause) mkdir -p "$HOME/.codex" && echo "$2" > "$HOME/.codex/.sync-paused" ;;
  resume) rm -f "$HOME/.codex/.sync-paused" ;;
  app-processes) [ -f "$HOME/running" ] && cat "$HOME/running"; [ -f "$HOME/hang" ] && sleep 30 ;;
esac
exit 0
)";

struct Fixture : test::Harness {
    test::FakeStatusItem& item = statusItem();
    Fixture() : Harness(pauseAware) {}
    QString statusLine() { return item.open().entries.front().title; }
};

} // namespace

// Each step's state shows in the indicators at the end.
TEST(SyncState, RulesInOrderAndTheControllerAskedOnlyWhenNeeded) {
    Fixture f;
    f.delegate->refreshNow();
    f.home.writeScript("running", "4242\tChatGPT\n");
    f.delegate->refreshNow();
    EXPECT_EQ(f.statusLine(), "Cannot sync — ChatGPT is running");
    f.home.writeScript("running", "\n\n\n"); // only line feeds: nobody runs
    f.delegate->refreshNow();
    EXPECT_EQ(f.calls().size(), 4);

    // The marker, file or folder, wins over running apps without a question.
    f.home.writeScript("running", "4242\tChatGPT\n");
    test::writeFile(pauseFile(), {});
    f.delegate->refreshNow();
    QFile::remove(pauseFile());
    QDir().mkpath(pauseFile());
    f.delegate->refresh();

    // Working wins over the marker and looks at nothing.
    f.delegate->appControl.isQuittingApps = true;
    f.delegate->refresh();
    EXPECT_EQ(f.calls().size(), 4);
    EXPECT_EQ(
        f.item.indicators,
        (std::vector<SyncState>{SyncState::ready, SyncState::blocked, SyncState::blocked, SyncState::ready,
                                SyncState::paused, SyncState::paused, SyncState::working}));
}

TEST(SyncState, AnswerWithoutAListReadsBlockedAndSaysWhy) {
    Fixture f;
    f.delegate->limits.appProcesses = {2s, 64};
    const struct {
        QByteArray controller;
        QString line; // the state is in the line: ready or blocked
    } cases[] = {
        {"", "Cannot sync — " + controller() + ": No such file or directory"},
        {"#!/bin/sh\nwhile :; do echo flood; done\n",
         "Cannot sync — " + controller() + " printed more than 64 bytes"},
        // The exit status is not looked at: a pgrep-like tool exits 1 with nothing to say.
        {"#!/bin/sh\nexit 1\n", "Ready — click Sync Now"},
        // One odd byte in a process name still means a running app.
        {"#!/bin/sh\nprintf '7\\tChat\\377GPT\\n'\n", "Cannot sync — ChatGPT is running"},
    };
    for (const auto& c : cases) {
        QFile::remove(controller());
        if (!c.controller.isEmpty())
            f.home.writeController(c.controller);
        EXPECT_EQ(f.statusLine(), c.line);
    }
}

TEST(SyncState, HungControllerNeverHoldsUpTheMenuBar) {
    Fixture f;
    f.delegate->limits.appProcesses = {3s, 4096};
    f.home.writeScript("hang", "");

    // A tick starts the query and returns with it still under way; further
    // ticks leave it be.
    f.delegate->refresh();
    f.delegate->refresh();
    EXPECT_TRUE(f.delegate->indicator.appProcessQuery);
    EXPECT_TRUE(test::waitUntil([&] { return f.calls() == QList<QStringList>{{"app-processes"}}; }));

    // An opening gives up on it before its bound and says why.
    const test::CapturedMenu menu = f.item.open();
    EXPECT_EQ(menu.entries.front().title,
              "Cannot sync — " + controller() + " did not answer within 2 seconds");
    EXPECT_TRUE(f.delegate->indicator.appProcessQuery) << "the opening did not wait for the query's end";
    EXPECT_EQ(f.calls(), QList<QStringList>{{"app-processes"}});

    // The query ends at its own bound and its answer replaces the guess.
    ASSERT_TRUE(test::waitUntil([&] { return !f.delegate->indicator.appProcessQuery; }, 5s));
    EXPECT_EQ(f.delegate->indicator.appProcessFailure, controller() + " did not answer within 3 seconds");
    QFile::remove(f.home.home() + "/hang");
    f.delegate->refreshNow();
    EXPECT_EQ(f.delegate->indicator.state, SyncState::ready);
    EXPECT_FALSE(f.delegate->indicator.appProcessFailure);
}

TEST(PauseSwitch, SendsPauseOrResumeByTheMarkerItselfWithoutHoldingTheMainThread) {
    Fixture f;
    f.delegate->togglePause();
    f.delegate->togglePause(); // while the first is under way: dropped
    // The switch returns at once; the next opening of the menu shows its effect.
    EXPECT_EQ(f.statusLine(), "Sync is paused");
    f.delegate->togglePause();
    EXPECT_TRUE(test::waitUntil([&] { return f.delegate->indicator.state == SyncState::ready; }));
    EXPECT_EQ(f.calls(),
              (QList<QStringList>{{"pause", "paused from menu bar"}, {"resume"}, {"app-processes"}}));

    // Stopping the apps shows working, yet the switch still goes by the marker.
    test::writeFile(pauseFile(), {});
    f.delegate->appControl.isQuittingApps = true;
    f.delegate->togglePause();
    EXPECT_TRUE(test::waitUntil([&] { return !QFile::exists(pauseFile()); }));
    EXPECT_EQ(f.calls().last(), QStringList{"resume"});
}

// A tray host draws its own copy of the menu: its openings never wait, hosts
// that open it over and over share one question to the controller, and what
// a waiting opening would say after two seconds is said then.
TEST(HostMenu, AnOpeningNeverWaitsAndAQuietControllerShowsAsOneWouldAfterTwoSeconds) {
    Fixture f;
    f.home.writeScript("hang", "");
    for (int i = 0; i < 50; ++i)
        f.delegate->menuOpening();
    f.fakes.advance(openingQuerySpacing);
    f.delegate->menuOpening(); // a query is still under way: it is shared
    EXPECT_TRUE(f.delegate->indicator.appProcessQuery) << "no opening waited for it";
    EXPECT_TRUE(test::waitUntil([&] { return f.calls().size() == 1; }));
    const int changes = f.item.menuChanges;
    f.fakes.runDelayed(f.delegate->limits.mainThreadWait);
    test::CapturedMenu menu;
    f.delegate->rebuildMenu(menu);
    EXPECT_EQ(menu.entries.front().title,
              "Cannot sync — " + controller() + " did not answer within 2 seconds");
    EXPECT_GT(f.item.menuChanges, changes);
    EXPECT_EQ(f.calls(), QList<QStringList>{{"app-processes"}});
}

TEST(Launch, AsksTheControllerOnceAndTellsADesktopWithoutATrayHowToGetOne) {
    test::Harness h;
    h.delegate->applicationDidFinishLaunching({});
    EXPECT_TRUE(h.fakes.events.contains("toolTip:Veldrin 0.1.0 (build 1)"));
    // The state shows as soon as the controller has answered, once.
    ASSERT_TRUE(test::waitUntil([&] { return h.fakes.events.contains("indicator"); }));
    EXPECT_EQ(h.calls(), QList<QStringList>{{"app-processes"}});
    EXPECT_TRUE(h.fakes.heldActivities.empty());
    EXPECT_EQ(h.delegate->bridge.claudeBridgeStatus, "not run yet");

    // Ten seconds on, a desktop with no tray is told how to get one, once,
    // and a click on the notice opens the menu.
    h.fakes.statusItem->trayShown = false;
    h.fakes.statusItem->trayThere = false;
    h.fakes.runDelayed(trayLookDelay);
    ASSERT_EQ(h.fakes.notifications.size(), 1u);
    EXPECT_EQ(h.fakes.notifications[0].first.summary, "Veldrin has no icon on this desktop");
    EXPECT_TRUE(h.fakes.notifications[0].first.body.contains("AppIndicator extension"));
    h.fakes.notifications[0].second();
    EXPECT_EQ(h.fakes.events.last(), "openMenu");
    h.fakes.runDelayed(trayLookAgainDelay);
    EXPECT_EQ(h.fakes.notifications.size(), 1u);

    // A tray that is there is given a minute to take the icon before anything is said;
    // one that takes it in that time is never spoken of.
    for (const bool takesIt : {true, false}) {
        test::Harness g;
        g.delegate->applicationDidFinishLaunching({});
        g.fakes.statusItem->trayShown = false;
        g.fakes.runDelayed(trayLookDelay);
        EXPECT_TRUE(g.fakes.notifications.empty());
        g.fakes.statusItem->trayShown = takesIt ? std::optional(true) : std::nullopt;
        g.fakes.runDelayed(trayLookAgainDelay);
        if (takesIt) {
            EXPECT_TRUE(g.fakes.notifications.empty());
        } else {
            ASSERT_EQ(g.fakes.notifications.size(), 1u);
            EXPECT_EQ(g.fakes.notifications[0].first.summary, "Veldrin's icon has not appeared");
        }
    }
}
