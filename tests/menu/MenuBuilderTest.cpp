// The top-level menu model: titles, keys, targets and enabled flags per state.
#include "menu/MenuBuilder.h"
#include "menu/MenuText.h"

#include <gtest/gtest.h>

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
    return s;
}

// The enabled flags of the action items 6..20, 26..28, keyed by action.
QStringList disabledActions(const std::vector<MenuEntry>& m) {
    QStringList out;
    for (const MenuEntry& e : m)
        if (!e.action.isEmpty() && !e.enabled)
            out << e.action;
    return out;
}

} // namespace

TEST(MenuBuilder, ReadyMenuInFull) {
    const QString expected = QStringLiteral(
        "Ready — click Sync Now [disabled]\n"
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
        "Cloud Sync — Pri off · Alt off · Tri off\n"
        "---\n"
        "Tools\n"
        "---\n"
        "Audit Profiles [key a]\n"
        "Last 10 Sync Runs… [key l]\n"
        "Quit Veldrin [key q]\n");
    const auto menu = buildStatusMenu(snapshot());
    EXPECT_EQ(menuText(menu), expected);
    EXPECT_EQ(menu.size(), 28u);

    // Targets: every action item goes to the delegate except the quit item.
    for (const MenuEntry& e : menu) {
        if (e.separator || e.action.isEmpty())
            continue;
        EXPECT_EQ(e.targetsDelegate, e.action != QLatin1String("terminate:")) << e.title.toStdString();
        EXPECT_EQ(e.checkmark, Checkmark::notSet);
        EXPECT_FALSE(e.toolTip);
        EXPECT_FALSE(e.representedObject.isValid());
    }
    EXPECT_EQ(menu.back().action, QStringLiteral("terminate:"));
    EXPECT_EQ(menu[21].submenu->title, QStringLiteral("Cloud Sync"));
    EXPECT_EQ(menu[23].submenu->title, QStringLiteral("Tools"));
    EXPECT_TRUE(menu[21].enabled);
    EXPECT_TRUE(menu[23].enabled);
}

TEST(MenuBuilder, EnabledFlagsFollowTheState) {
    // A streamed run: everything from 6 to 20 and 27 is off; audit and quit stay.
    MenuSnapshot s = snapshot(SyncState::working);
    s.activeProcess = true;
    auto m = buildStatusMenu(s);
    EXPECT_EQ(m[0].title, QStringLiteral("Working…"));
    EXPECT_EQ(disabledActions(m),
              (QStringList{"syncAllNow", "syncNow", "syncClaudeNow", "importIntoClaudeNow", "closeClaudeAndSync",
                           "quitClaude", "repairPrimary", "repairAlt", "repairTri", "fixUnreadableChats",
                           "resolveRolloutConflicts", "quitAllChatGPTProcesses", "togglePause", "updateAllApps",
                           "showSyncLogs"}));

    // Paused: resume offered; sync and the repairs are off, Sync All stays on.
    m = buildStatusMenu(snapshot(SyncState::paused));
    EXPECT_EQ(m[0].title, QStringLiteral("Sync is paused"));
    EXPECT_EQ(m[18].title, QStringLiteral("Resume Sync"));
    EXPECT_EQ(disabledActions(m),
              (QStringList{"syncNow", "repairPrimary", "repairAlt", "repairTri", "fixUnreadableChats"}));

    // Blocked: only the profile sync is off.
    m = buildStatusMenu(snapshot(SyncState::blocked));
    EXPECT_EQ(m[0].title, QStringLiteral("Cannot sync — ChatGPT is running"));
    EXPECT_EQ(disabledActions(m), QStringList{"syncNow"});

    // The background Claude sync: the Claude items and Sync All are off.
    s = snapshot();
    s.claudeBridgeRunning = true;
    m = buildStatusMenu(s);
    EXPECT_EQ(m[11].title, QStringLiteral("Claude Code: syncing…"));
    EXPECT_EQ(disabledActions(m),
              (QStringList{"syncAllNow", "syncClaudeNow", "importIntoClaudeNow", "closeClaudeAndSync", "quitClaude"}));

    // Stopping the apps: working, so "Pause Sync" even with the marker, and it stays enabled.
    s = snapshot(SyncState::working);
    s.isQuittingApps = true;
    m = buildStatusMenu(s);
    EXPECT_EQ(m[18].title, QStringLiteral("Pause Sync"));
    EXPECT_TRUE(m[18].enabled);
    EXPECT_EQ(disabledActions(m),
              (QStringList{"syncAllNow", "syncNow", "repairPrimary", "repairAlt", "repairTri", "fixUnreadableChats",
                           "resolveRolloutConflicts", "quitAllChatGPTProcesses", "updateAllApps"}));
}

TEST(MenuBuilder, SameFieldsGiveTheSameEntries) {
    const QString first = menuText(buildStatusMenu(snapshot(SyncState::blocked)));
    EXPECT_EQ(menuText(buildStatusMenu(snapshot(SyncState::blocked))), first);
}

TEST(MenuBuilder, CloudSummaryShowsModesAndActiveTransfers) {
    std::map<QString, CloudProfileState> profiles{{"pri", {"up", 1, 2}}, {"alt", {"both", 0, 0}}, {"tri", {"off", 0, 0}}};
    EXPECT_EQ(cloudSummaryTitle(profiles, {}), QStringLiteral("Cloud Sync — Pri ↑ · Alt ↕ · Tri off"));
    profiles["tri"].mode = "down";
    EXPECT_EQ(cloudSummaryTitle(profiles, {{"applied", 9}}), QStringLiteral("Cloud Sync — Pri ↑ · Alt ↕ · Tri ↓"));
    EXPECT_EQ(cloudSummaryTitle(profiles, {{"error", 1}, {"applied", 9}}),
              QStringLiteral("Cloud Sync — Pri ↑ · Alt ↕ · Tri ↓ · 1 active"));
    EXPECT_EQ(cloudSummaryTitle({}, {{"pending", 2}, {"available", 3}, {"downloading", 4}, {"error", 1}}),
              QStringLiteral("Cloud Sync — Pri off · Alt off · Tri off · 10 active"));
    EXPECT_EQ(modeSymbol("sideways"), QStringLiteral("off"));
}

TEST(MenuText, PrintsFlagsInOrderAndIndentsSubmenus) {
    MenuEntry checked = MenuEntry::item("Prevent Idle Screen Lock", "togglePreventIdleScreenLock", false, "i");
    checked.checkmark = Checkmark::on;
    checked.toolTip = QStringLiteral("Keeps the display awake");
    MenuEntry unchecked = MenuEntry::item("Keep Mac Running", "toggleLidKeepAwake", true);
    unchecked.checkmark = Checkmark::off;
    MenuEntry inner;
    inner.title = "Primary Target";
    inner.submenu = std::make_shared<const Menu>(Menu{"Primary Target", {MenuEntry::info("Mode")}});
    MenuEntry holder;
    holder.title = "Tools";
    holder.submenu = std::make_shared<const Menu>(Menu{"Tools", {checked, MenuEntry::separatorEntry(), unchecked, inner}});
    EXPECT_EQ(menuText({holder, MenuEntry::info("A & B")}),
              QStringLiteral("Tools\n"
                             "  Prevent Idle Screen Lock [disabled] [on] [key i] [tip: Keeps the display awake]\n"
                             "  ---\n"
                             "  Keep Mac Running [off]\n"
                             "  Primary Target\n"
                             "    Mode [disabled]\n"
                             "A & B [disabled]\n"));
}
