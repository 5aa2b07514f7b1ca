#pragma once

#include "menu/MenuEntry.h"
#include "menu/StatusItem.h"

#include <functional>

class QMenu;

namespace veldrin {

using PerformAction = std::function<void(Action, const QVariant& representedObject)>;

// Replaces every entry of `menu` with the model's. Titles show literally (an
// "&" is never a mnemonic) on one line of at most 200 characters, key
// equivalents use the platform's usual modifier, and a chosen item goes to
// `perform` once the menu has closed.
void renderMenu(QMenu* menu, const std::vector<MenuEntry>& entries, const PerformAction& perform);

// The text Qt needs to show `title` as a menu title.
QString literalMenuText(const QString& title);

// A QMenu as the delegate fills it.
class QtStatusMenu : public StatusMenu {
public:
    QtStatusMenu(QMenu* menu, PerformAction perform) : menu_(menu), perform_(std::move(perform)) {}
    void setEntries(const std::vector<MenuEntry>& entries) override;

private:
    QMenu* menu_;
    PerformAction perform_;
    std::vector<MenuEntry> shown_; // what menu_'s items were last given
};

} // namespace veldrin
