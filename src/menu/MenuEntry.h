#pragma once

// The status menu as data: built fresh from the application's fields at every
// opening, then rendered into the platform menu or printed as text.

#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

namespace veldrin {

// What choosing an item does: the AppDelegate operation of the same name, or
// for `terminate` the application's quit request.
enum class Action {
    none, // informational lines and submenu holders
    syncAllNow,
    syncNow,
    syncClaudeNow,
    importIntoClaudeNow,
    closeClaudeAndSync,
    quitClaude,
    repairPrimary,
    repairAlt,
    repairTri,
    fixUnreadableChats,
    resolveRolloutConflicts,
    quitAllChatGPTProcesses,
    togglePause,
    updateAllApps,
    showCloudStatus,
    runCloudCycleNow,
    openCloudLogin,
    togglePreventIdleScreenLock,
    toggleLidKeepAwake,
    setCloudMode,
    offerCloudProject,
    offerCloudChat,
    auditProfiles,
    showSyncLogs,
    openRecentRun,
    showAllRuns,
    terminate,
};

enum class Checkmark { notSet, on, off };

struct MenuEntry;

struct Menu {
    QString title;
    std::vector<MenuEntry> entries;
};

struct MenuEntry {
    bool separator = false;
    QString title;
    Action action = Action::none;
    QString keyEquivalent; // one lower-case letter or empty
    bool enabled = true;
    Checkmark checkmark = Checkmark::notSet;
    std::optional<QString> toolTip;
    QVariant representedObject;
    std::shared_ptr<const Menu> submenu;

    static MenuEntry separatorEntry() {
        MenuEntry e;
        e.separator = true;
        return e;
    }
    // A greyed-out line that cannot be chosen.
    static MenuEntry info(const QString& title) {
        MenuEntry e;
        e.title = title;
        e.enabled = false;
        return e;
    }
    static MenuEntry item(const QString& title, Action action, bool enabled, const QString& key = {}) {
        MenuEntry e;
        e.title = title;
        e.action = action;
        e.enabled = enabled;
        e.keyEquivalent = key;
        return e;
    }
    static MenuEntry holder(const QString& title, Menu submenu) {
        MenuEntry e;
        e.title = title;
        e.submenu = std::make_shared<const Menu>(std::move(submenu));
        return e;
    }
};

} // namespace veldrin
