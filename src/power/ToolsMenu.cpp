#include "power/ToolsMenu.h"

#include "menu/TitleText.h"

namespace veldrin {

QString idleStatusLine(const PowerSnapshot& power) {
    const QString state = power.idleDisplayActivity ? QStringLiteral("On") : QStringLiteral("Off");
    if (power.idleDisplayActivity && power.idleDisplayRefusal)
        return statusLineTitle(QStringLiteral("On — the desktop refused: ") +
                               untrustedText(*power.idleDisplayRefusal));
    if (power.idleLockNotStored)
        return statusLineTitle(state + QStringLiteral(" — not saved for the next launch: ") +
                               untrustedText(*power.idleLockNotStored));
    return power.idleDisplayActivity ? QStringLiteral("On — the display will stay awake")
                                     : QStringLiteral("Off — normal display timeout applies");
}

QString lidStatusLine(const PowerSnapshot& power) {
    if (power.lidKeepAwakeChanging)
        return QStringLiteral("Changing lid sleep mode…");
    if (power.lidKeepAwakeError)
        return statusLineTitle(QStringLiteral("Unavailable — ") + untrustedText(*power.lidKeepAwakeError));
    if (!power.lidKeepAwakeEnabled)
        return QStringLiteral("Checking lid sleep mode…");
    if (power.lidManagedNotStored)
        return statusLineTitle((*power.lidKeepAwakeEnabled ? QStringLiteral("On") : QStringLiteral("Off")) +
                               QStringLiteral(" — not saved for the next launch: ") +
                               untrustedText(*power.lidManagedNotStored));
    if (!*power.lidKeepAwakeEnabled)
        return QStringLiteral("Off — normal lid sleep applies");
    // Only a setting Veldrin turned on is Veldrin's to keep.
    if (power.lidKeepAwakeManaged && power.lidKeepAwakeManaged())
        return QStringLiteral("On — Veldrin is keeping the Mac active");
    return QStringLiteral("On externally — click above to turn it off");
}

MenuEntry toolsEntry(const PowerSnapshot& power) {
    Menu submenu{QStringLiteral("Tools"), {}};
    auto& m = submenu.entries;
    MenuEntry idle = MenuEntry::item(QStringLiteral("Prevent Idle Screen Lock"),
                                     Action::togglePreventIdleScreenLock, true);
    idle.checkmark = power.idleDisplayActivity ? Checkmark::on : Checkmark::off;
    idle.toolTip = QStringLiteral("Keeps the display awake while Veldrin is running");
    m.push_back(idle);
    m.push_back(MenuEntry::info(idleStatusLine(power)));
    m.push_back(MenuEntry::info(QStringLiteral("Manual Lock Screen still works")));
    m.push_back(MenuEntry::separatorEntry());
    MenuEntry lid =
        MenuEntry::item(QStringLiteral("Keep Mac Running with Lid Closed"), Action::toggleLidKeepAwake,
                        !power.lidKeepAwakeChanging && power.lidKeepAwakeEnabled.has_value());
    lid.checkmark = power.lidKeepAwakeEnabled.value_or(false) ? Checkmark::on : Checkmark::off;
    lid.toolTip = QStringLiteral("Keeps this Mac operating when its display lid is closed");
    m.push_back(lid);
    m.push_back(MenuEntry::info(lidStatusLine(power)));
    m.push_back(MenuEntry::info(QStringLiteral("May use battery and create heat while the lid is closed")));
    return MenuEntry::holder(QStringLiteral("Tools"), std::move(submenu));
}

} // namespace veldrin
