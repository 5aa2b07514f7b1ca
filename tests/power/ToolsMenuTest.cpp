// The power section: the lid listing read from pmset, and the Tools submenu's
// switches with the status lines under them.
#include "power/ToolsMenu.h"
#include "menu/MenuText.h"
#include "power/Lid.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace veldrin;

namespace {

// A switch of the Tools submenu, and the status line under it.
std::pair<MenuEntry, QString> switchAndLine(const MenuEntry& tools, Action action) {
    const auto& e = tools.submenu->entries;
    const auto it = std::find_if(e.begin(), e.end(), [&](const MenuEntry& m) { return m.action == action; });
    if (it == e.end() || it + 1 == e.end())
        return {};
    return {*it, (it + 1)->title};
}

} // namespace

TEST(Lid, SleepDisabledIsTheFirstMatchingLinesLastPiece) {
    const std::pair<QString, std::optional<bool>> cases[] = {
        {"Settings:\n SleepDisabled\t\t1\n", true},
        {"disablesleep 0", false},
        {"SLEEPDISABLED 1", true},
        {"SleepDisabled 2", std::nullopt},
        {"SleepDisabled", std::nullopt},
        {"SleepDisabled 1.0", std::nullopt},
        {"sleep 1\nstandby 0", std::nullopt},
        {"\n\nSleepDisabled 0\nSleepDisabled 1", false},
        {"SleepDisabledX 1\nSleepDisabled 1", true},
    };
    for (const auto& [listing, value] : cases)
        EXPECT_EQ(parseSleepDisabled(listing), value) << listing.toStdString();
    EXPECT_EQ(lidFailureDetail({1, ""}, {0, " \n"}),
              "pmset exited with status 1; verification exited with status 0.");
}

TEST(ToolsMenu, LidLineSwitchAndWhenTheStoredChoiceIsRead) {
    const QString listing = "sudo: a password is required\nSystem-wide power settings:\n SleepDisabled\t\t0";
    const struct {
        std::optional<bool> enabled;
        bool changing;
        std::optional<QString> error;
        bool managed;
        QString line;
        bool switchEnabled, checked, asked;
    } cases[] = {
        {std::nullopt, false, std::nullopt, true, "Checking lid sleep mode…", false, false, false},
        {false, true, std::nullopt, true, "Changing lid sleep mode…", false, false, false},
        {true, false, QString("pmset: denied"), true, "Unavailable — pmset: denied", true, true, false},
        // A long listing stays one line of a hundred characters; the alert has it whole.
        {false, false, listing + QString(200, ' ') + "x", true,
         "Unavailable — sudo: a password is required System-wide power settings:  SleepDisabled  0           "
         "…",
         true, false, false},
        {true, false, std::nullopt, true, "On — Veldrin is keeping the Mac active", true, true, true},
        {true, false, std::nullopt, false, "On externally — click above to turn it off", true, true, true},
        {false, false, std::nullopt, true, "Off — normal lid sleep applies", true, false, false},
    };
    for (const auto& c : cases) {
        bool asked = false;
        PowerSnapshot power;
        power.lidKeepAwakeEnabled = c.enabled;
        power.lidKeepAwakeChanging = c.changing;
        power.lidKeepAwakeError = c.error;
        power.lidKeepAwakeManaged = [&] { return asked = true, c.managed; };
        const auto [lid, line] = switchAndLine(toolsEntry(power), Action::toggleLidKeepAwake);
        EXPECT_EQ(line, c.line);
        EXPECT_EQ(lid.enabled, c.switchEnabled) << c.line.toStdString();
        EXPECT_EQ(lid.checkmark, c.checked ? Checkmark::on : Checkmark::off) << c.line.toStdString();
        EXPECT_EQ(asked, c.asked) << c.line.toStdString();
    }
    EXPECT_TRUE(lidAlerts::changeFailed(listing).fixedPitchInformativeText);
}

TEST(ToolsMenu, IdleLineSaysWhenTheDesktopRefusedOrTheChoiceWasNotStored) {
    const struct {
        bool on;
        std::optional<QString> refused, notStored;
        QString line;
    } cases[] = {
        {true, std::nullopt, std::nullopt, "On — the display will stay awake"},
        {false, std::nullopt, std::nullopt, "Off — normal display timeout applies"},
        {true, "no session bus", "cannot write /x", "On — the desktop refused: no session bus"},
        {true, std::nullopt, "cannot write /home/u/.config/Veldrin/Veldrin.conf",
         "On — not saved for the next launch: cannot write /home/u/.config/Veldrin/Veldrin.conf"},
        {false, std::nullopt, "cannot write /c", "Off — not saved for the next launch: cannot write /c"},
        {true,
         "The name org.freedesktop.ScreenSaver was not provided by any .service files\n" + QString(80, 'x'),
         std::nullopt,
         "On — the desktop refused: The name org.freedesktop.ScreenSaver was not provided by any .service "
         "fil…"},
    };
    for (const auto& c : cases) {
        PowerSnapshot power;
        power.idleDisplayActivity = c.on;
        power.idleDisplayRefusal = c.refused;
        power.idleLockNotStored = c.notStored;
        const auto [idle, line] = switchAndLine(toolsEntry(power), Action::togglePreventIdleScreenLock);
        EXPECT_EQ(line, c.line);
        EXPECT_EQ(idle.checkmark, c.on ? Checkmark::on : Checkmark::off);
    }
}
