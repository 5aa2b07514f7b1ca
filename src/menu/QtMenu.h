#pragma once

#include "menu/MenuEntry.h"

class QMenu;
class QObject;

namespace veldrin {

// Replaces every entry of `menu` with the model's. Titles show literally (an
// "&" is never a mnemonic), key equivalents use the platform's usual modifier,
// and choosing an item calls the named operation on `target` once the menu has
// closed. "terminate:" asks the application to quit.
void renderMenu(QMenu* menu, const std::vector<MenuEntry>& entries, QObject* target);

// The text Qt needs to show `title` as it stands.
QString literalMenuText(const QString& title);

} // namespace veldrin
