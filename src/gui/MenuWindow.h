#pragma once

#include "menu/StatusItem.h"

class QWidget;

namespace veldrin {

// The status menu in a small window of its own, for where no menu can pop up
// by itself (Wayland without a tray, or asked for from a launcher or a
// shortcut): the same entries, titles, flags and checkmarks as the menu,
// submenus as branches, read by screen readers and used from the keyboard
// (arrows move and open branches, Return chooses, Escape closes). It is
// filled as a menu opening fills its menu, each time it is shown, and closes
// when an item is chosen; the choice is performed after it has closed.
QWidget* openMenuWindow(MenuDelegate& delegate);

} // namespace veldrin
