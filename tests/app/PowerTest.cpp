// Lid keep-awake against the simulated pmset and sudo, and both power
// settings across launch and termination.
#include "app/Harness.h"

#include "power/Lid.h"

#include <gtest/gtest.h>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

const QString lidActivity = "begin:1048576:Veldrin user enabled Keep Mac Running with Lid Closed";

struct Lid : test::Harness {
    test::FakeStatusItem& item = statusItem();
    Lid() { test::installSimulator(home); }
    void setSystem(const char* value) { home.writeScript(".sim/state/disablesleep", value); }
    bool read() {
        delegate->refreshLidKeepAwake(true);
        return test::waitUntil([&] { return delegate->lid.lidReadingsInFlight == 0; });
    }
    bool changed() {
        return test::waitUntil([&] { return !delegate->lid.lidKeepAwakeChanging; });
    }
    // The switch and its status line, as the Tools submenu shows them.
    std::pair<MenuEntry, QString> tools() {
        for (const MenuEntry& e : item.open().entries)
            if (e.title == "Tools")
                return {e.submenu->entries[4], e.submenu->entries[5].title};
        return {};
    }
};

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
        {"", std::nullopt},
    };
    for (const auto& [listing, value] : cases)
        EXPECT_EQ(parseSleepDisabled(listing), value) << listing.toStdString();
    EXPECT_EQ(lidFailureDetail({1, ""}, {0, " \n"}),
              "pmset exited with status 1; verification exited with status 0.");
}

TEST(Lid, TurningOnAndOffAsksWhereItMustAndHoldsTheAssertionOnlyForItsOwnSetting) {
    Lid h;
    h.delegate->toggleLidKeepAwake(); // no value yet
    EXPECT_TRUE(h.fakes.alerts.empty());
    EXPECT_EQ(h.tools().second, "Checking lid sleep mode…");
    ASSERT_TRUE(h.read());
    EXPECT_EQ(h.tools().second, "Off — normal lid sleep applies");
    h.fakes.now += 14s; // readings are 15 s apart unless forced
    h.delegate->refreshLidKeepAwake(false);
    EXPECT_EQ(h.delegate->lid.lidReadingsInFlight, 0);

    h.fakes.alertAnswers = {1, firstButton};
    h.delegate->toggleLidKeepAwake(); // Cancel
    EXPECT_FALSE(h.delegate->lid.lidKeepAwakeChanging);
    h.delegate->toggleLidKeepAwake();
    ASSERT_EQ(h.fakes.alerts.size(), 2u);
    EXPECT_EQ(h.fakes.alerts[1].message, "Keep this Mac running with its lid closed?");
    EXPECT_EQ(h.fakes.alerts[1].buttons, (QStringList{"Turn On", "Cancel"}));
    EXPECT_EQ(h.tools().second, "Changing lid sleep mode…");
    EXPECT_FALSE(h.tools().first.enabled);
    h.delegate->toggleLidKeepAwake(); // while changing: nothing
    EXPECT_EQ(h.fakes.alerts.size(), 2u);
    ASSERT_TRUE(h.changed());
    EXPECT_EQ(h.tools().second, "On — Veldrin is keeping the Mac active");
    EXPECT_EQ(h.tools().first.checkmark, Checkmark::on);
    EXPECT_TRUE(h.fakes.defaults["lidKeepAwakeManaged"]);
    EXPECT_EQ(h.fakes.events.filter("begin:"), QStringList{lidActivity});

    h.delegate->toggleLidKeepAwake(); // off: no question
    ASSERT_TRUE(h.changed());
    EXPECT_EQ(h.fakes.alerts.size(), 2u);
    EXPECT_EQ(h.tools().second, "Off — normal lid sleep applies");
    EXPECT_FALSE(h.fakes.defaults["lidKeepAwakeManaged"]);
    EXPECT_TRUE(h.fakes.heldActivities.empty());

    h.setSystem("1"); // someone else turns it on
    ASSERT_TRUE(h.read());
    EXPECT_EQ(h.tools().second, "On externally — click above to turn it off");
    EXPECT_TRUE(h.fakes.heldActivities.empty());
}

TEST(Lid, RefusedOrUnconfirmedChangeSaysWhyWithTheRemedy) {
    Lid h;
    ASSERT_TRUE(h.read());
    h.home.writeScript(".sim/fail/sudo", "");
    h.fakes.alertAnswers = {firstButton};
    h.delegate->toggleLidKeepAwake();
    ASSERT_TRUE(h.changed());
    ASSERT_EQ(h.fakes.alerts.size(), 2u);
    EXPECT_EQ(h.fakes.alerts[1].message, "Could not change lid sleep mode");
    EXPECT_TRUE(h.fakes.alerts[1].informativeText.startsWith(
        "sudo: a password is required\n\nSystem-wide power settings:"));
    EXPECT_TRUE(h.fakes.alerts[1].informativeText.endsWith(
        "displaysleep         10\n\nReinstall Veldrin to restore its restricted system permission."));
    EXPECT_TRUE(h.tools().second.startsWith("Unavailable — sudo: a password is required"));
    EXPECT_EQ(h.delegate->lid.lidKeepAwakeEnabled, false);

    QFile::remove(h.home.systemRoot() + "/usr/bin/pmset");
    ASSERT_TRUE(h.read());
    EXPECT_EQ(h.tools().second,
              "Unavailable — " + h.home.systemRoot() + "/usr/bin/pmset: No such file or directory");
}

TEST(Power, BothSettingsComeBackAtLaunchAndOnlyTheirAssertionsEndAtQuit) {
    Lid h;
    h.setSystem("1");
    h.fakes.defaults = {{"lidKeepAwakeManaged", true}, {"preventIdleScreenLock", true}};
    h.delegate->applicationDidFinishLaunching({.statusItem = false, .timers = false});
    ASSERT_TRUE(test::waitUntil([&] { return !h.delegate->launchWorkPending(); }));
    const QString idleActivity = "begin:1099511627776:Veldrin user enabled Prevent Idle Screen Lock";
    EXPECT_EQ(h.fakes.events.filter("begin:"), (QStringList{idleActivity, lidActivity}));
    // Restored before anything else is looked at.
    EXPECT_EQ(h.fakes.events.indexOf(idleActivity), h.fakes.events.indexOf("read:preventIdleScreenLock") + 1);
    h.delegate->applicationWillTerminate();
    EXPECT_TRUE(h.fakes.heldActivities.empty());
    EXPECT_TRUE(h.fakes.defaults["lidKeepAwakeManaged"]);
    EXPECT_TRUE(h.fakes.defaults["preventIdleScreenLock"]);
}
