// The top-level menu model: titles, keys, targets and enabled flags per state.
#include "menu/MenuBuilder.h"
#include "menu/MenuText.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>

using namespace veldrin;

namespace {

MenuSnapshot snapshot(SyncState state = SyncState::ready) {
    MenuSnapshot s;
    s.state = state;
    s.appVersionLabel = QStringLiteral("Veldrin 2.4.1 (build 318)");
    s.primaryBuild = QStringLiteral("27");
    s.altBuild = QStringLiteral("27");
    s.triBuild = QStringLiteral("26");
    s.claudeBridgeStatus = QStringLiteral("not run yet");
    // The subsystems build these; the builder only puts them in place.
    s.cloudSection = MenuEntry::holder(QStringLiteral("Cloud Sync — the cloud's section"), {});
    s.toolsSection = MenuEntry::holder(QStringLiteral("Tools"), {});
    return s;
}

std::vector<Action> disabledActions(const std::vector<MenuEntry>& menu) {
    std::vector<Action> out;
    for (const MenuEntry& e : menu) {
        if (e.action != Action::none && !e.enabled)
            out.push_back(e.action);
    }
    return out;
}

const MenuEntry& entry(const std::vector<MenuEntry>& menu, Action action) {
    return *std::find_if(menu.begin(), menu.end(), [&](const MenuEntry& e) { return e.action == action; });
}

} // namespace

TEST(MenuBuilder, ReadyMenuInFull) {
    const auto menu = buildStatusMenu(snapshot());
    // The top level; the submenus are indented.
    const QStringList lines = menuText(menu).split('\n').filter(QRegularExpression("^\\S"));
    EXPECT_EQ(lines.join('\n') + '\n', QStringLiteral("Ready — click Sync Now [disabled]\n"
                                                      "Veldrin 2.4.1 (build 318) [disabled]\n"
                                                      "Alt up to date (build 27) [disabled]\n"
                                                      "Tri behind (build 26 → 27) [disabled]\n"
                                                      "---\n"
                                                      "Sync All — Codex ↔ Claude Code… [key s]\n"
                                                      "Sync Primary ↔ Alt ↔ Tri\n"
                                                      "Sync with Claude Code\n"
                                                      "Import Codex Chats into Claude Code Sidebar\n"
                                                      "Quit Claude, Sync & Reopen…\n"
                                                      "Quit Claude…\n"
                                                      "Claude Code: not run yet [disabled]\n"
                                                      "Repair All Projects in Primary…\n"
                                                      "Repair All Projects in Alt…\n"
                                                      "Repair All Projects in Tri…\n"
                                                      "Ad Hoc Fix Unreadable Chats…\n"
                                                      "Resolve Safe Rollout Conflicts…\n"
                                                      "Quit All ChatGPT Processes…\n"
                                                      "Pause Sync [key p]\n"
                                                      "Upgrade to Latest [key u]\n"
                                                      "---\n"
                                                      "Cloud Sync — the cloud's section\n"
                                                      "---\n"
                                                      "Tools\n"
                                                      "---\n"
                                                      "Audit Profiles [key a]\n"
                                                      "Last 10 Sync Runs… [key l]\n"
                                                      "Quit Veldrin [key q]\n"));
    EXPECT_EQ(menu.back().action, Action::terminate);
}

TEST(MenuBuilder, EnabledFlagsFollowTheState) {
    using A = Action;
    // A streamed run: everything from Sync All to Upgrade, and the run list, is off.
    MenuSnapshot s = snapshot(SyncState::working);
    s.activeProcess = true;
    auto m = buildStatusMenu(s);
    EXPECT_EQ(m.front().title, "Working…");
    EXPECT_EQ(
        disabledActions(m),
        (std::vector<A>{A::syncAllNow, A::syncNow, A::syncClaudeNow, A::importIntoClaudeNow,
                        A::closeClaudeAndSync, A::quitClaude, A::repairPrimary, A::repairAlt, A::repairTri,
                        A::fixUnreadableChats, A::resolveRolloutConflicts, A::quitAllChatGPTProcesses,
                        A::togglePause, A::updateAllApps, A::showSyncLogs}));

    // Paused: resume offered; the profile sync and the repairs are off, Sync All stays on.
    m = buildStatusMenu(snapshot(SyncState::paused));
    EXPECT_EQ(entry(m, A::togglePause).title, "Resume Sync");
    EXPECT_EQ(disabledActions(m), (std::vector<A>{A::syncNow, A::repairPrimary, A::repairAlt, A::repairTri,
                                                  A::fixUnreadableChats}));

    // Blocked: only the profile sync is off; a failed query is named instead of ChatGPT.
    s = snapshot(SyncState::blocked);
    m = buildStatusMenu(s);
    EXPECT_EQ(m.front().title, "Cannot sync — ChatGPT is running");
    EXPECT_EQ(disabledActions(m), std::vector<A>{A::syncNow});
    s.appProcessFailure = "/home/u/bin/veldrin did not answer\nwithin 10 seconds";
    EXPECT_EQ(buildStatusMenu(s).front().title,
              "Cannot sync — /home/u/bin/veldrin did not answer within 10 seconds");

    // The background Claude sync: the Claude items and Sync All are off.
    s = snapshot();
    s.claudeBridgeRunning = true;
    m = buildStatusMenu(s);
    EXPECT_EQ(menuText(m).count("Claude Code: syncing… [disabled]\n"), 1);
    EXPECT_EQ(disabledActions(m), (std::vector<A>{A::syncAllNow, A::syncClaudeNow, A::importIntoClaudeNow,
                                                  A::closeClaudeAndSync, A::quitClaude}));

    // Stopping the apps: working, so "Pause Sync" even with the marker, and it stays enabled.
    s = snapshot(SyncState::working);
    s.isQuittingApps = true;
    m = buildStatusMenu(s);
    EXPECT_EQ(entry(m, A::togglePause).title, "Pause Sync");
    EXPECT_EQ(disabledActions(m),
              (std::vector<A>{A::syncAllNow, A::syncNow, A::repairPrimary, A::repairAlt, A::repairTri,
                              A::fixUnreadableChats, A::resolveRolloutConflicts, A::quitAllChatGPTProcesses,
                              A::updateAllApps}));
}

TEST(MenuBuilder, BuildLinesCompareAsPlainText) {
    EXPECT_EQ(buildLine("Tri", "27.0", "27"), "Tri behind (build 27.0 → 27)");
    // A newer build is still behind, the arrow pointing at Primary's.
    EXPECT_EQ(buildLine("Alt", "28", "27"), "Alt behind (build 28 → 27)");
    EXPECT_EQ(composeVersionLabel(" 2.0 ", "7"), QStringLiteral("Veldrin  2.0  (build 7)"));
    EXPECT_EQ(composeVersionLabel(2, QVariant()), "Veldrin unknown (build unknown)");
}
