#pragma once

// The status item in the system status bar and its one menu.

#include "menu/MenuEntry.h"
#include "menu/SyncState.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace veldrin {

// The menu as the delegate sees it while it opens.
class StatusMenu {
public:
    virtual ~StatusMenu() = default;
    // Replaces every entry.
    virtual void setEntries(const std::vector<MenuEntry>& entries) = 0;
};

class MenuDelegate {
public:
    virtual ~MenuDelegate() = default;
    // Just before a menu Veldrin draws shows: fills it, after waiting briefly
    // for what it shows.
    virtual void menuWillOpen(StatusMenu& menu) = 0;
    // A menu a tray host draws from its own copy is opening: starts what an
    // opening checks and returns at once; what the checks find reaches the
    // host through StatusItem::menuChanged.
    virtual void menuOpening() = 0;
    // Fills `menu` with the fields as they stand, waiting for nothing.
    virtual void rebuildMenu(StatusMenu& menu) = 0;
    // A chosen item, once the menu has closed.
    virtual void perform(Action action, const QVariant& representedObject) = 0;
};

// `hasButton` is false where the platform gives an item nothing to draw into;
// the steps that need it are then skipped.
class StatusItem {
public:
    virtual ~StatusItem() = default;
    virtual bool hasButton() const = 0;
    virtual void setToolTip(const QString& text) = 0;
    // Shows the one indicator symbol in the state's tint.
    virtual void setIndicator(SyncState state) = 0;
    // One menu for the whole run; the delegate outlives the item.
    virtual void setMenuDelegate(MenuDelegate* delegate) = 0;
    // What the menu shows may have changed: a copy a tray host keeps is
    // brought up to date (soon, and once however often this is called).
    virtual void menuChanged() = 0;
    // Opens the status menu where the user can reach it and use it from the
    // keyboard, whatever the tray (a launcher, a desktop shortcut).
    virtual void openMenu() = 0;
    // Whether a tray shows the item; empty while that is not known yet.
    virtual std::optional<bool> shown() const = 0;
    // Whether the desktop has a tray at all, whether or not it shows the item yet.
    virtual bool trayPresent() const = 0;
};

class StatusBar {
public:
    virtual ~StatusBar() = default;
    virtual std::unique_ptr<StatusItem> createStatusItem() = 0;
};

} // namespace veldrin
