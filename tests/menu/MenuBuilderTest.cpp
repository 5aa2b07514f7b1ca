// The menu model: titles, keys and enabled flags per state, and the rules
// that keep untrusted text in a title literal and on one line.

#include "menu/MenuBuilder.h"
#include "menu/MenuText.h"
#include "menu/TitleText.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>

using namespace veldrin;

namespace {

// The subsystems build the two sections; the builder only puts them in place.
MenuSnapshot snapshot(SyncState state = SyncState::ready) {
    return {.state = state,
            .appProcessFailure = std::nullopt,
            .appVersionLabel = "Veldrin 2.4.1 (build 318)",
            .primaryBuild = "27",
            .altBuild = "27",
            .triBuild = "26",
            .claudeBridgeStatus = "not run yet",
            .cloudSection = MenuEntry::holder("Cloud Sync — the cloud's section", {}),
            .toolsSection = MenuEntry::holder("Tools", {}),
            .recentRuns = MenuEntry::holder("Recent Runs", {})};
}

std::vector<Action> disabledActions(const std::vector<MenuEntry>& menu) {
    std::vector<Action> out;
    for (const MenuEntry& e : menu)
        if (e.action != Action::none && !e.enabled)
            out.push_back(e.action);
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
    EXPECT_EQ(lines.join('\n') + '\n',
              "Ready — click Sync Now [disabled]\nVeldrin 2.4.1 (build 318) [disabled]\n"
              "Alt up to date (build 27) [disabled]\nTri behind (build 26 → 27) [disabled]\n---\n"
              "Sync All — Codex ↔ Claude Code… [key s]\nSync Primary ↔ Alt ↔ Tri\nSync with Claude Code\n"
              "Import Codex Chats into Claude Code Sidebar\nQuit Claude, Sync & Reopen…\nQuit Claude…\n"
              "Claude Code: not run yet [disabled]\nRepair All Projects in Primary…\n"
              "Repair All Projects in Alt…\nRepair All Projects in Tri…\nAd Hoc Fix Unreadable Chats…\n"
              "Resolve Safe Rollout Conflicts…\nQuit All ChatGPT Processes…\nPause Sync [key p]\n"
              "Upgrade to Latest [key u]\n---\nCloud Sync — the cloud's section\n---\nTools\n---\n"
              "Audit Profiles [key a]\nLast 10 Sync Runs… [key l]\nRecent Runs\nQuit Veldrin [key q]\n");
    EXPECT_EQ(menu.back().action, Action::terminate);
}

TEST(MenuBuilder, EnabledFlagsFollowTheState) {
    using A = Action;
    // (Runs, stop sequences and the Claude bridge: AppControl's tests drive them for real.)
    // Paused: resume offered; the profile sync and the repairs are off, Sync All stays on.
    auto m = buildStatusMenu(snapshot(SyncState::paused));
    EXPECT_EQ(entry(m, A::togglePause).title, "Resume Sync");
    EXPECT_EQ(disabledActions(m), (std::vector<A>{A::syncNow, A::repairPrimary, A::repairAlt, A::repairTri,
                                                  A::fixUnreadableChats}));

    // Blocked: only the profile sync is off; a failed query is named instead of ChatGPT.
    MenuSnapshot s = snapshot(SyncState::blocked);
    m = buildStatusMenu(s);
    EXPECT_EQ(m.front().title, "Cannot sync — ChatGPT is running");
    EXPECT_EQ(disabledActions(m), std::vector<A>{A::syncNow});
    s.appProcessFailure = "/home/u/bin/veldrin did not answer\nwithin 10 seconds";
    EXPECT_EQ(buildStatusMenu(s).front().title,
              "Cannot sync — /home/u/bin/veldrin did not answer within 10 seconds");
    s.appProcessFailure = QString(300, 'x'); // the model cuts; renderers show it as it stands
    EXPECT_EQ(buildStatusMenu(s).front().title, "Cannot sync — " + QString(185, 'x') + "…");
}

TEST(MenuBuilder, BuildLinesCompareAsPlainText) {
    EXPECT_EQ(buildLine("Tri", "27.0", "27"), "Tri behind (build 27.0 → 27)");
    // A newer build is still behind, the arrow pointing at Primary's.
    EXPECT_EQ(buildLine("Alt", "28", "27"), "Alt behind (build 28 → 27)");
    EXPECT_EQ(composeVersionLabel(" 2.0 ", "7"), "Veldrin  2.0  (build 7)");
    EXPECT_EQ(composeVersionLabel(2, QVariant()), "Veldrin unknown (build unknown)");
}

TEST(TitleText, UntrustedTextStaysOnOneLineAndCannotReorderItsSurroundings) {
    for (const auto& [in, out] : {
             std::pair<QString, QString>{"27", "27"},
             {"a & <b>b</b>", "a & <b>b</b>"}, // literal: nothing here is markup
             {"line\nbreak\r\ttab\u0085nel\u2028ls", "line break  tab nel ls"},
             // Right-to-left text is isolated as it stands.
             {"\u05E9\u05DC\u05D5\u05DD 27", "\u2068\u05E9\u05DC\u05D5\u05DD 27\u2069"},
             // An override left open is closed inside the isolate.
             {"\u202Eevil", "\u2068\u202Eevil\u202C\u2069"},
             // A stray terminator could end our isolate early: it goes.
             {"x\u2069\u202Ey", "\u2068x\u202Ey\u202C\u2069"},
             {"a\u202Cb", "ab"},
             {"\u2067in\u2069 out", "\u2068\u2067in\u2069 out\u2069"},
             {"\u202Babc\u2069def", "\u2068\u202Babcdef\u202C\u2069"}, // a stray PDI closes no embedding
             {"\U0001E900\U0001E901 (2)", "\u2068\U0001E900\U0001E901 (2)\u2069"}, // Adlam, beyond U+FFFF
         })
        EXPECT_EQ(untrustedText(in), out) << in.toStdString();
}

TEST(TitleText, LongTitlesAreCutAtTwoHundredCharactersNeverInsideOne) {
    EXPECT_EQ(menuTitle(QString(200, 'x')), QString(200, 'x'));
    EXPECT_EQ(menuTitle(QString(201, 'x')), QString(199, 'x') + "…");

    // Family emoji: one character made of seven code points.
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466");
    QString emoji = family.repeated(150);
    EXPECT_EQ(menuTitle(emoji), emoji); // 150 characters, though 1650 code units
    emoji += emoji;
    EXPECT_EQ(menuTitle(emoji), emoji.left(199 * family.size()) + "…");

    // A cut inside an isolate closes it before the ellipsis.
    const QString isolated = "Build " + untrustedText(QString(300, QChar(0x05D0)));
    EXPECT_EQ(menuTitle(isolated), isolated.left(199) + QChar(0x2069) + "…");
    EXPECT_EQ(menuTitle("a\nb"), "a b");
}
