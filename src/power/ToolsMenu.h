#pragma once

// The "Tools" submenu: the two power switches with their status lines.

#include "menu/MenuEntry.h"

#include <QString>

#include <functional>
#include <optional>

namespace veldrin {

struct PowerSnapshot {
    bool idleDisplayActivity = false;
    std::optional<QString> idleDisplayRefusal; // why the desktop did not take it
    std::optional<QString> idleLockNotStored;  // why the choice was not stored
    std::optional<bool> lidKeepAwakeEnabled;   // none until the first reading
    bool lidKeepAwakeChanging = false;
    std::optional<QString> lidKeepAwakeError;
    std::optional<QString> lidManagedNotStored; // why "lidKeepAwakeManaged" was not stored
    // The stored "lidKeepAwakeManaged"; asked only when the line depends on it.
    std::function<bool()> lidKeepAwakeManaged;
};

// The status lines under the two switches, each one line of at most
// statusLineMaxCharacters.
QString idleStatusLine(const PowerSnapshot& power);
QString lidStatusLine(const PowerSnapshot& power);

MenuEntry toolsEntry(const PowerSnapshot& power);

} // namespace veldrin
