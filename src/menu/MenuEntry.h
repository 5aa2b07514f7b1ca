#pragma once

// The status menu as data: built fresh from the application's fields at every
// opening, then rendered into the platform menu or printed as text.

#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

namespace veldrin {

enum class Checkmark { notSet, on, off };

struct MenuEntry;

struct Menu {
    QString title;
    std::vector<MenuEntry> entries;
};

struct MenuEntry {
    bool separator = false;
    QString title;
    // The AppDelegate operation the item calls, by name; "terminate:" for the
    // quit item; empty for informational lines and submenu holders.
    QString action;
    QString keyEquivalent;       // one lower-case letter or empty
    bool targetsDelegate = false; // false only for items without action and the quit item
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
    static MenuEntry item(const QString& title, const QString& action, bool enabled, const QString& key = {}) {
        MenuEntry e;
        e.title = title;
        e.action = action;
        e.targetsDelegate = true;
        e.enabled = enabled;
        e.keyEquivalent = key;
        return e;
    }
};

} // namespace veldrin
