#pragma once

// The status item in the system status bar and its one menu.

#include "menu/MenuEntry.h"
#include "menu/SyncState.h"

#include <QString>

#include <memory>
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
    // Just before the menu shows.
    virtual void menuWillOpen(StatusMenu& menu) = 0;
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
};

class StatusBar {
public:
    virtual ~StatusBar() = default;
    virtual std::unique_ptr<StatusItem> createStatusItem() = 0;
};

} // namespace veldrin
