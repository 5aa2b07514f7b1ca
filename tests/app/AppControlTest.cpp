// Stopping the Codex apps, the maintenance jobs and the other menu operations
// that run the controller: scripted alert answers, instant pauses, real processes.
#include "app/Harness.h"
#include "demo/DemoApps.h"

#include "appcontrol/StopSequence.h"
#include "menu/MenuText.h"

#include <QDir>

#include <gtest/gtest.h>

#include <csignal>
#include <map>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

// Lists the given lines as running apps, and records what the kill program is asked.
struct WithApps : test::Harness {
    explicit WithApps(const QByteArray& lines)
        : Harness("[ \"$1\" = app-processes ] && printf '" + lines + "'\nexit 0") {
        home.writeScript("../root/bin/kill", "#!/bin/sh\nprintf '%s\\n' \"$*\" >> \"$HOME/kills\"\n");
        fakes.alertAnswers = {firstButton};
    }
};

bool stopFinished(test::Harness& h) {
    return test::waitUntil([&] { return !h.delegate->appControl.isQuittingApps; }, 20s);
}

using Operation = void (AppDelegate::*)();

// The newest entry of Recent Runs, as the menu shows it.
QString newestRecentRun(test::Harness& h) {
    for (const MenuEntry& e : h.statusItem().open().entries)
        if (e.title == "Recent Runs" && e.submenu)
            return e.submenu->entries.front().title;
    return {};
}

} // namespace

TEST(StopSequence, QuitAllStopsRealAppsAndForceQuitsTheOneIgnoringTerm) {
    test::Harness h;
    test::installSimulator(h.home);
    DemoApps apps;
    QString error;
    ASSERT_TRUE(apps.start(&error)) << error.toStdString();
    h.fakes.sleepScale = 0.25; // time for TERM to take effect before the next look
    h.fakes.alertAnswers = {firstButton};

    h.delegate->quitAllChatGPTProcesses();
    ASSERT_EQ(h.fakes.alerts.size(), 1u);
    EXPECT_EQ(h.fakes.alerts[0].informativeText,
              "This closes ChatGPT, ChatGPT Alt, ChatGPT Tri, and any helper processes they left behind.");
    EXPECT_EQ(h.fakes.alerts[0].buttons, (QStringList{"Quit All", "Cancel"}));
    EXPECT_EQ(h.delegate->indicator.state, SyncState::working);
    EXPECT_EQ(h.fakes.terminateRequests,
              (QList<QStringList>{{"com.openai.codex", "com.openai.codex.alt", "com.openai.codex.tri"}}));

    ASSERT_TRUE(stopFinished(h));
    EXPECT_EQ(h.fakes.lastWindow()->title, "Quit All ChatGPT Processes");
    EXPECT_EQ(h.transcript(),
              "Requesting a normal quit…\nTerminating 3 lingering process(es)…\n"
              "Force-quitting 1 process(es) that did not stop…\nAll ChatGPT processes have stopped.\n");
    EXPECT_EQ(h.fakes.sleeps(), (QList<qint64>{2000, 2000, 1000}));
    for (const pid_t pid : apps.running())
        EXPECT_FALSE(test::processAlive(pid)) << pid;
    EXPECT_TRUE(test::waitUntil([&] { return h.delegate->indicator.state == SyncState::ready; }));
    EXPECT_TRUE(newestRecentRun(h).endsWith(" Quit All ChatGPT Processes — finished"));
}

// A run, a stop sequence or the Claude bridge: the menu disables what would disturb it, which
// says nothing when chosen anyway (from a host's stale copy); what it offers asks as usual.
TEST(AppControl, WhatABusyMenuDisablesAsksNothingAndWhatItOffersAsks) {
    using A = Action;
    // clang-format off
    const A guarded[] = {A::syncAllNow, A::closeClaudeAndSync, A::quitClaude, A::repairPrimary, A::repairAlt,
                         A::repairTri, A::fixUnreadableChats, A::resolveRolloutConflicts, A::quitAllChatGPTProcesses,
                         A::updateAllApps};
    enum Busy { idle, running, quitting, bridge };
    const std::pair<Busy, std::vector<A>> cases[] = {
        {idle, {}},
        {running, {A::syncAllNow, A::syncNow, A::syncClaudeNow, A::importIntoClaudeNow, A::closeClaudeAndSync,
                   A::quitClaude, A::repairPrimary, A::repairAlt, A::repairTri, A::fixUnreadableChats,
                   A::resolveRolloutConflicts, A::quitAllChatGPTProcesses, A::togglePause, A::updateAllApps,
                   A::showSyncLogs}},
        {quitting, {A::syncAllNow, A::syncNow, A::repairPrimary, A::repairAlt, A::repairTri, A::fixUnreadableChats,
                    A::resolveRolloutConflicts, A::quitAllChatGPTProcesses, A::updateAllApps}},
        {bridge, {A::syncAllNow, A::syncClaudeNow, A::importIntoClaudeNow, A::closeClaudeAndSync, A::quitClaude}},
    };
    // clang-format on
    for (const auto& c : cases) {
        const Busy busy = c.first;
        SCOPED_TRACE(testing::Message() << "busy " << busy);
        // Each holds until released: an audit run, the bridge, the stop sequence's look at the apps.
        test::Harness h(
            "hold() { while [ ! -f \"$HOME/release\" ]; do sleep 0.02; done; }\n"
            "case $1 in audit|claude) hold ;; app-processes) [ -f \"$HOME/holdApps\" ] && hold ;; esac");
        test::FakeStatusItem& item = h.statusItem();
        h.delegate->limits.appProcesses = {60s, 4096};
        h.delegate->refreshNow();
        if (busy == running)
            h.delegate->perform(Action::auditProfiles, {});
        if (busy == quitting) {
            h.home.writeScript("holdApps", "");
            h.fakes.alertAnswers = {firstButton};
            h.delegate->perform(Action::quitAllChatGPTProcesses, {});
        }
        if (busy == bridge)
            h.delegate->runClaudeBridgeInBackground();
        ASSERT_TRUE(test::waitUntil([&] { return h.calls().size() == (busy == idle ? 1 : 2); }));
        const auto alertsBefore = std::ssize(h.fakes.alerts);
        const std::size_t windowsBefore = h.fakes.windows.size();

        const test::CapturedMenu menu = item.open();
        EXPECT_EQ(menu.entries.front().title,
                  busy == running || busy == quitting ? "Working…" : "Ready — click Sync Now");
        EXPECT_EQ(std::ranges::count(menu.entries, "Claude Code: syncing…", &MenuEntry::title),
                  busy == bridge ? 1 : 0);
        std::vector<A> disabled;
        for (const MenuEntry& e : menu.entries)
            if (e.action != A::none && !e.enabled)
                disabled.push_back(e.action);
        EXPECT_EQ(disabled, c.second);
        const auto offered = std::ranges::count_if(guarded, [&](A a) { return menu.find(a)->enabled; });
        h.fakes.alertAnswers.assign(std::size(guarded), AlertResponse{1}); // "Cancel"
        for (const Action action : guarded)
            h.delegate->perform(action, {});
        EXPECT_EQ(std::ssize(h.fakes.alerts) - alertsBefore, offered);
        EXPECT_EQ(h.fakes.windows.size(), windowsBefore) << "nothing started";

        h.home.writeScript("release", "");
        EXPECT_TRUE(test::waitUntil(
            [&] {
                return !h.delegate->runs.activeProcess && !h.delegate->appControl.isQuittingApps &&
                       !h.delegate->bridge.claudeBridgeRunning;
            },
            20s));
    }

    // A choice that comes while an alert is open (a tray host's menu stays
    // usable behind it) brings that alert forward and opens no other.
    test::Harness h;
    h.fakes.whileAlertShows = [&] {
        h.delegate->perform(Action::offerCloudProject, QString("pri"));
        h.delegate->perform(Action::quitAllChatGPTProcesses, {});
    };
    h.delegate->perform(Action::quitAllChatGPTProcesses, {});
    EXPECT_EQ(h.fakes.alerts.size(), 1u);
    EXPECT_EQ(h.fakes.events.count("raiseAlert"), 2);
}

TEST(AppControl, RepairWhilePausedOnlySaysSoButTheOthersStillAsk) {
    test::Harness h;
    h.home.writeScript(".codex/.sync-paused", "paused from menu bar\n");
    h.delegate->repairTri();
    h.delegate->fixUnreadableChats();
    ASSERT_EQ(h.fakes.alerts.size(), 2u);
    EXPECT_EQ(h.fakes.alerts[0].message + "|" + h.fakes.alerts[0].informativeText,
              "Sync is paused|Choose Resume Sync first, then run Repair Projects & Sync again.");
    EXPECT_EQ(h.fakes.alerts[1].message, "Fix unreadable chats in Primary, Alt, and Tri?");
    EXPECT_TRUE(h.fakes.windows.empty());
}

TEST(AppControl, OperationsAskWhereTheyMustStopTheAppsWhereTheyMustAndRunTheirVectors) {
    const struct {
        Operation action;
        QString message, button, title, stopTranscript;
        QStringList arguments;
    } cases[] = {
        // clang-format off
        {&AppDelegate::repairAlt, "Repair Alt projects?", "Repair Alt", "Repair Alt",
         "Closing Primary, Alt, and Tri before repairing project data…\n"
         "All Codex processes stopped. Repairing Alt project data…\n", {"repair-projects", "alt"}},
        {&AppDelegate::updateAllApps, "Upgrade Alt and Tri to the latest Primary build?", "Quit Apps and Upgrade",
         "Upgrade to Latest", "Closing Primary, Alt, and Tri before upgrading…\n"
         "All ChatGPT processes stopped. Starting verified upgrade…\n", {"update-all"}},
        {&AppDelegate::syncAllNow, "Close apps and sync everything between Codex and Claude Code?",
         "Close Apps and Sync All", "Sync All — Codex ↔ Claude Code", {}, {"sync-all"}},
        {&AppDelegate::closeClaudeAndSync, "Quit Claude and sync with Codex?", "Quit Claude and Sync",
         "Quit Claude, Sync & Reopen", {}, {"claude", "close-sync"}},
        {&AppDelegate::quitClaude, "Quit the Claude app?", "Quit Claude", "Quit Claude", {}, {"claude", "quit"}},
        {&AppDelegate::importIntoClaudeNow, {}, {}, "Import into Claude Code", {}, {"claude", "import"}},
        {&AppDelegate::showSyncLogs, {}, {}, "Last 10 Veldrin Runs", {}, {"logs", "10"}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        test::Harness h;
        h.fakes.alertAnswers = {firstButton};
        (h.delegate.get()->*c.action)();
        ASSERT_EQ(h.fakes.alerts.size(), c.message.isEmpty() ? 0u : 1u);
        if (!c.message.isEmpty()) {
            EXPECT_EQ(h.fakes.alerts[0].style, AlertStyle::warning);
            EXPECT_EQ(h.fakes.alerts[0].message, c.message);
            EXPECT_EQ(h.fakes.alerts[0].buttons, (QStringList{c.button, "Cancel"}));
        }
        // A stop window first where the apps must be closed, then the run's own.
        const std::size_t windows = c.stopTranscript.isEmpty() ? 1 : 2;
        ASSERT_TRUE(test::waitUntil([&] { return h.fakes.windows.size() == windows; }, 20s));
        ASSERT_TRUE(h.runFinished());
        for (const auto& window : h.fakes.windows)
            EXPECT_TRUE(window->title == c.title && window->shown);
        EXPECT_EQ(windows == 2 ? h.fakes.windows[0]->transcript() : QString(), c.stopTranscript);
        EXPECT_EQ(h.transcript(), "\nFinished with exit code 0.\n");
        EXPECT_EQ(h.calls().count(c.arguments), 1);
    }
}

TEST(AppControl, AJobWhoseAppsStoppedWhileAnotherRunStartedSaysItDidNotStart) {
    // The audit holds its run open until released.
    test::Harness h("[ \"$1\" = audit ] && while [ ! -f \"$HOME/release\" ]; do sleep 0.02; done; exit 0");
    h.fakes.alertAnswers = {firstButton};
    h.delegate->repairAlt();
    h.delegate->auditProfiles(); // stays enabled while the apps stop
    ASSERT_TRUE(stopFinished(h));
    EXPECT_EQ(h.fakes.windows[0]->transcript(),
              "Closing Primary, Alt, and Tri before repairing project data…\n"
              "Repair Alt did not start because another run is in progress (Veldrin Audit).\n");
    h.home.writeScript("release", "");
    ASSERT_TRUE(h.runFinished());
    EXPECT_EQ(h.fakes.windows.size(), 2u);
    EXPECT_FALSE(h.calls().contains({"repair-projects", "alt"}));
}

TEST(AppControl, TheSimulatedUpgradeBringsTriToPrimarysBuild) {
    test::Harness h;
    test::installSimulator(h.home);
    h.home.writeScript(".sim/fast", "");
    test::FakeStatusItem& item = h.statusItem();
    const auto builds = [&] { return menuText(item.open().entries).section('\n', 2, 3); };
    EXPECT_EQ(builds(), "Alt up to date (build 27) [disabled]\nTri behind (build 26 → 27) [disabled]");
    h.fakes.alertAnswers = {firstButton};
    h.delegate->updateAllApps();
    ASSERT_TRUE(test::waitUntil([&] { return h.fakes.windows.size() == 2; }) && h.runFinished());
    EXPECT_TRUE(h.transcript().contains("Both copies now carry build 27.\n")) << h.transcript().toStdString();
    EXPECT_EQ(builds(), "Alt up to date (build 27) [disabled]\nTri up to date (build 27) [disabled]");
}

TEST(AppControl, TheSimulatedSyncAllClosesTheAppsAndReopensThem) {
    test::Harness h;
    test::installSimulator(h.home);
    h.home.writeScript(".sim/fast", "");
    DemoApps apps;
    QString error;
    ASSERT_TRUE(apps.start(&error)) << error.toStdString();
    // The stand-ins running, by process id, and their names.
    const auto running = [&] {
        std::map<qint64, QString> found;
        for (const QString& pid : QDir(h.home.home() + "/.sim/apps").entryList(QDir::Files))
            if (test::processAlive(pid.toLongLong()))
                found[pid.toLongLong()] = h.home.readFile(".sim/apps/" + pid).split('\n').value(0);
        return found;
    };
    const auto names = [](const std::map<qint64, QString>& found) {
        QStringList out;
        for (const auto& [pid, name] : found)
            out << name;
        out.sort();
        return out;
    };
    const std::map<qint64, QString> before = running();
    ASSERT_EQ(names(before), (QStringList{"ChatGPT", "ChatGPT Alt", "ChatGPT Tri"}));

    h.fakes.alertAnswers = {firstButton};
    h.delegate->syncAllNow();
    ASSERT_TRUE(test::waitUntil([&] { return !h.fakes.windows.empty(); }) && h.runFinished());
    EXPECT_TRUE(h.transcript().contains("Closing ChatGPT, ChatGPT Alt, ChatGPT Tri…\n") &&
                h.transcript().endsWith("All synced.\n\nFinished with exit code 0.\n"))
        << h.transcript().toStdString();
    // The same apps again, each a new process; Tri still ignores TERM.
    const std::map<qint64, QString> after = running();
    EXPECT_EQ(names(after), names(before));
    for (const auto& [pid, name] : before)
        EXPECT_FALSE(after.contains(pid) || test::processAlive(pid)) << name.toStdString();
    // TERM to Tri first: by the time the others have gone, it would have too.
    const auto tri =
        std::ranges::find(after, QString("ChatGPT Tri"), &std::pair<const qint64, QString>::second);
    ASSERT_NE(tri, after.end());
    ::kill(static_cast<pid_t>(tri->first), SIGTERM);
    for (const auto& [pid, name] : after) {
        if (pid == tri->first)
            continue;
        ::kill(static_cast<pid_t>(pid), SIGTERM);
        EXPECT_TRUE(test::waitUntil([pid = pid] { return !test::processAlive(pid); })) << name.toStdString();
    }
    EXPECT_TRUE(test::processAlive(tri->first));
}

TEST(StopSequence, SurvivorsInQueryOrderCancelTheJobAndOddIdentifiersAreNeverSignalled) {
    EXPECT_EQ(killCommand("/bin/kill", "-TERM",
                          {"-1", "0", "1", "--help", "12abc", " 12", "", "٣٤", "007", "4242"}),
              (QStringList{"/bin/kill", "-TERM", "--", "007", "4242"}));
    EXPECT_EQ(killCommand("/bin/kill", "-KILL", {"-1", "0", "00", "1", "--help", "error: no answer"}),
              std::nullopt);
    WithApps h("4242\\tChatGPT\\n-1\\tx\\n--help\\n12abc\\nNo such file or directory\\n");
    h.delegate->quitAllChatGPTProcesses();
    ASSERT_TRUE(stopFinished(h));
    EXPECT_EQ(h.transcript(),
              "Requesting a normal quit…\nTerminating 5 lingering process(es)…\n"
              "Force-quitting 5 process(es) that did not stop…\n"
              "Could not stop 5 process(es): 4242, -1, --help, 12abc, No such file or directory.\n");
    EXPECT_EQ(h.home.readFile("kills"), "-TERM -- 4242\n-KILL -- 4242\n");

    const std::pair<Operation, QString> jobs[] = {
        {&AppDelegate::resolveRolloutConflicts,
         "Resolution cancelled because 1 process(es) could not be stopped: 4242.\n"},
        {&AppDelegate::repairPrimary, "Repair cancelled because 1 process(es) could not be stopped: 4242.\n"},
        {&AppDelegate::updateAllApps, "Upgrade cancelled because genuine processes remain: 4242.\n"},
    };
    for (const auto& [action, cancellation] : jobs) {
        WithApps job("4242\\tChatGPT\\n");
        (job.delegate.get()->*action)();
        ASSERT_TRUE(stopFinished(job));
        EXPECT_TRUE(job.transcript().endsWith("did not stop…\n" + cancellation))
            << job.transcript().toStdString();
        // Cancelled, it is not reported as a success.
        EXPECT_EQ(job.fakes.lastWindow()->strip, "Failed — 0:00");
        EXPECT_TRUE(newestRecentRun(job).endsWith(" — failed")) << newestRecentRun(job).toStdString();
        EXPECT_EQ(job.calls().count(), job.calls().count({"app-processes"}));
    }
}
