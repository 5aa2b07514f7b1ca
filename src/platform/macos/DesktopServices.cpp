#include "platform/DesktopServices.h"

namespace veldrin {

void keepQtFromAutolaunchingABus() {
    // No session bus here, and Qt's status item asks for none.
}

std::optional<QString> checkDesktopServices(const std::function<void(const QString&)>& say) {
    // The menu bar always holds status items; notifications and power
    // assertions are the system's own and answer for themselves when used.
    say(QStringLiteral("tray: the menu bar (a status item)"));
    return std::nullopt;
}

} // namespace veldrin
