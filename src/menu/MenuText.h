#pragma once

#include "menu/MenuEntry.h"

namespace veldrin {

// The menu as text for scripts and tests: one line per entry in menu order,
// submenu entries right after their holder, indented two spaces per level.
// A separator is "---"; an item is its title (as a menu shows it) followed, where they apply, by
// " [disabled]", " [on]"/" [off]", " [key X]" and " [tip: TEXT]".
QString menuText(const std::vector<MenuEntry>& entries);

} // namespace veldrin
