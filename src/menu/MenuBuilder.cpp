#include "menu/MenuBuilder.h"

#include "menu/TitleText.h"

namespace veldrin {

namespace {

QString claudeLine(const MenuSnapshot& s) {
    return QStringLiteral("Claude Code: ") +
           (s.claudeBridgeRunning ? QStringLiteral("syncing…") : s.claudeBridgeStatus);
}

QString textOrUnknown(const QVariant& value) {
    if (value.typeId() == QMetaType::QString)
        return untrustedText(value.toString());
    return QStringLiteral("unknown");
}

} // namespace

QString composeVersionLabel(const QVariant& shortVersion, const QVariant& bundleVersion) {
    return QStringLiteral("Veldrin ") + textOrUnknown(shortVersion) + QStringLiteral(" (build ") +
           textOrUnknown(bundleVersion) + QStringLiteral(")");
}

QString buildLine(const QString& label, const QString& profileBuild, const QString& primaryBuild) {
    if (profileBuild == primaryBuild)
        return label + QStringLiteral(" up to date (build ") + untrustedText(profileBuild) +
               QStringLiteral(")");
    return label + QStringLiteral(" behind (build ") + untrustedText(profileBuild) + QStringLiteral(" → ") +
           untrustedText(primaryBuild) + QStringLiteral(")");
}

std::vector<MenuEntry> buildStatusMenu(const MenuSnapshot& s) {
    const bool running = s.activeProcess;
    const bool claudeFree = !running && !s.claudeBridgeRunning;
    const bool maintenanceFree = !running && !s.isQuittingApps;
    const bool repairFree = maintenanceFree && s.state != SyncState::paused;

    std::vector<MenuEntry> m;
    m.push_back(MenuEntry::info(statusLine(s.state, s.appProcessFailure)));
    m.push_back(MenuEntry::info(s.appVersionLabel));
    m.push_back(MenuEntry::info(buildLine(QStringLiteral("Alt"), s.altBuild, s.primaryBuild)));
    m.push_back(MenuEntry::info(buildLine(QStringLiteral("Tri"), s.triBuild, s.primaryBuild)));
    m.push_back(MenuEntry::separatorEntry());
    m.push_back(MenuEntry::item(QStringLiteral("Sync All — Codex ↔ Claude Code…"), Action::syncAllNow,
                                claudeFree && !s.isQuittingApps, QStringLiteral("s")));
    m.push_back(MenuEntry::item(QStringLiteral("Sync Primary ↔ Alt ↔ Tri"), Action::syncNow,
                                s.state == SyncState::ready));
    m.push_back(MenuEntry::item(QStringLiteral("Sync with Claude Code"), Action::syncClaudeNow, claudeFree));
    m.push_back(MenuEntry::item(QStringLiteral("Import Codex Chats into Claude Code Sidebar"),
                                Action::importIntoClaudeNow, claudeFree));
    m.push_back(MenuEntry::item(QStringLiteral("Quit Claude, Sync & Reopen…"), Action::closeClaudeAndSync,
                                claudeFree));
    m.push_back(MenuEntry::item(QStringLiteral("Quit Claude…"), Action::quitClaude, claudeFree));
    m.push_back(MenuEntry::info(claudeLine(s)));
    m.push_back(MenuEntry::item(QStringLiteral("Repair All Projects in Primary…"), Action::repairPrimary,
                                repairFree));
    m.push_back(
        MenuEntry::item(QStringLiteral("Repair All Projects in Alt…"), Action::repairAlt, repairFree));
    m.push_back(
        MenuEntry::item(QStringLiteral("Repair All Projects in Tri…"), Action::repairTri, repairFree));
    m.push_back(MenuEntry::item(QStringLiteral("Ad Hoc Fix Unreadable Chats…"), Action::fixUnreadableChats,
                                repairFree));
    m.push_back(MenuEntry::item(QStringLiteral("Resolve Safe Rollout Conflicts…"),
                                Action::resolveRolloutConflicts, maintenanceFree));
    m.push_back(MenuEntry::item(QStringLiteral("Quit All ChatGPT Processes…"),
                                Action::quitAllChatGPTProcesses, maintenanceFree));
    m.push_back(MenuEntry::item(s.state == SyncState::paused ? QStringLiteral("Resume Sync")
                                                             : QStringLiteral("Pause Sync"),
                                Action::togglePause, !running, QStringLiteral("p")));
    m.push_back(MenuEntry::item(QStringLiteral("Upgrade to Latest"), Action::updateAllApps, maintenanceFree,
                                QStringLiteral("u")));
    m.push_back(MenuEntry::separatorEntry());
    m.push_back(s.cloudSection);
    m.push_back(MenuEntry::separatorEntry());
    m.push_back(s.toolsSection);
    m.push_back(MenuEntry::separatorEntry());
    m.push_back(
        MenuEntry::item(QStringLiteral("Audit Profiles"), Action::auditProfiles, true, QStringLiteral("a")));
    m.push_back(MenuEntry::item(QStringLiteral("Last 10 Sync Runs…"), Action::showSyncLogs, !running,
                                QStringLiteral("l")));
    m.push_back(s.recentRuns);
    m.push_back(
        MenuEntry::item(QStringLiteral("Quit Veldrin"), Action::terminate, true, QStringLiteral("q")));
    return withMenuTitles(std::move(m));
}

std::vector<MenuEntry> withMenuTitles(std::vector<MenuEntry> entries) {
    for (MenuEntry& e : entries) {
        e.title = menuTitle(e.title);
        if (e.toolTip)
            e.toolTip = menuTitle(*e.toolTip);
        if (e.submenu)
            e.submenu = std::make_shared<const Menu>(
                Menu{menuTitle(e.submenu->title), withMenuTitles(e.submenu->entries)});
    }
    return entries;
}

} // namespace veldrin
