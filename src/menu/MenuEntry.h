#pragma once

// The status menu as data: built fresh from the application's fields at every
// opening, then rendered into the platform menu or printed as text.

#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

namespace veldrin {

// Every menu action, in one list: X(name) for one that acts on nothing,
// Y(name) for one that acts on the entry's represented object. The Action
// enum, the delegate's operations of the same names and the dispatch from a
// chosen entry to them are all made from it, so they cannot disagree.
#define VELDRIN_MENU_ACTIONS(X, Y)                                                                           \
    X(syncAllNow)                                                                                            \
    X(syncNow)                                                                                               \
    X(syncClaudeNow)                                                                                         \
    X(importIntoClaudeNow)                                                                                   \
    X(closeClaudeAndSync)                                                                                    \
    X(quitClaude)                                                                                            \
    X(repairPrimary)                                                                                         \
    X(repairAlt)                                                                                             \
    X(repairTri)                                                                                             \
    X(fixUnreadableChats)                                                                                    \
    X(resolveRolloutConflicts)                                                                               \
    X(quitAllChatGPTProcesses)                                                                               \
    X(togglePause)                                                                                           \
    X(updateAllApps)                                                                                         \
    X(showCloudStatus)                                                                                       \
    X(runCloudCycleNow)                                                                                      \
    X(openCloudLogin)                                                                                        \
    X(togglePreventIdleScreenLock)                                                                           \
    X(toggleLidKeepAwake)                                                                                    \
    Y(setCloudMode)                                                                                          \
    Y(offerCloudProject)                                                                                     \
    Y(offerCloudChat)                                                                                        \
    X(auditProfiles)                                                                                         \
    X(showSyncLogs)                                                                                          \
    Y(openRecentRun)                                                                                         \
    X(showAllRuns)

// What choosing an item does: the AppDelegate operation of the same name, or
// for `terminate` the application's quit request.
enum class Action {
    none, // informational lines and submenu holders
#define VELDRIN_ACTION_NAME(name) name,
    VELDRIN_MENU_ACTIONS(VELDRIN_ACTION_NAME, VELDRIN_ACTION_NAME)
#undef VELDRIN_ACTION_NAME
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
