// Lid keep-awake against the simulated pmset and sudo, and both power
// settings across launch and termination.
#include "app/Harness.h"

#include <gtest/gtest.h>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

const QString lidActivity = "begin:system:Veldrin user enabled Keep Mac Running with Lid Closed";
const QString idleActivity = "begin:display:Veldrin user enabled Prevent Idle Screen Lock";

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
    // A switch and the status line under it, as the Tools submenu shows them.
    std::pair<MenuEntry, QString> tools(Action action = Action::toggleLidKeepAwake) {
        for (const MenuEntry& e : item.open().entries) {
            const auto& sub = e.submenu ? e.submenu->entries : std::vector<MenuEntry>{};
            for (std::size_t i = 0; i + 1 < sub.size(); ++i)
                if (sub[i].action == action)
                    return {sub[i], sub[i + 1].title};
        }
        return {};
    }
};

} // namespace

TEST(Lid, TurningOnAndOffAsksWhereItMustAndHoldsTheAssertionOnlyForItsOwnSetting) {
    Lid h;
    h.delegate->toggleLidKeepAwake(); // no value yet: no question (two in all below)
    EXPECT_EQ(h.tools().second, "Checking lid sleep mode…");
    ASSERT_TRUE(h.read());
    EXPECT_EQ(h.tools().second, "Off — normal lid sleep applies");
    h.fakes.advance(14s); // readings are 15 s apart unless forced
    h.delegate->refreshLidKeepAwake(false);
    EXPECT_EQ(h.delegate->lid.lidReadingsInFlight, 0);

    h.fakes.alertAnswers = {1, firstButton};
    h.delegate->toggleLidKeepAwake(); // Cancel: no change, so the next one asks
    h.delegate->toggleLidKeepAwake();
    h.delegate->toggleLidKeepAwake(); // while changing: nothing
    ASSERT_EQ(h.fakes.alerts.size(), 2u);
    EXPECT_EQ(h.fakes.alerts[1].message, "Keep this Mac running with its lid closed?");
    EXPECT_EQ(h.fakes.alerts[1].buttons, (QStringList{"Turn On", "Cancel"}));
    EXPECT_EQ(h.tools().second, "Changing lid sleep mode…");
    EXPECT_FALSE(h.tools().first.enabled);
    ASSERT_TRUE(h.changed());
    EXPECT_EQ(h.tools().second, "On — Veldrin is keeping the Mac active");
    EXPECT_EQ(h.tools().first.checkmark, Checkmark::on);
    EXPECT_TRUE(h.fakes.defaults["lidKeepAwakeManaged"]);
    EXPECT_EQ(h.fakes.events.filter("begin:"), QStringList{lidActivity});

    h.delegate->toggleLidKeepAwake(); // off: no question
    ASSERT_TRUE(h.changed() && h.fakes.alerts.size() == 2u);
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
    EXPECT_TRUE(h.fakes.alerts[1].fixedPitchInformativeText); // the listing's columns line up
    // The submenu keeps one line of a hundred characters.
    EXPECT_TRUE(h.tools().second.startsWith("Unavailable — sudo: a password is required  System-wide"));
    EXPECT_EQ(h.tools().second.size(), 100);
    EXPECT_EQ(h.delegate->lid.lidKeepAwakeEnabled, false);

    QFile::remove(h.home.systemRoot() + "/usr/bin/pmset");
    ASSERT_TRUE(h.read());
    EXPECT_EQ(h.tools().second,
              "Unavailable — " + h.home.systemRoot() + "/usr/bin/pmset: No such file or directory");
}

TEST(Lid, ASettingTheStoreCannotKeepIsShownUnderTheSwitch) {
    Lid h;
    ASSERT_TRUE(h.read());
    h.fakes.defaultsWriteProblem = "cannot write /x/Veldrin.conf";
    h.fakes.alertAnswers = {firstButton};
    h.delegate->toggleLidKeepAwake();
    ASSERT_TRUE(h.changed());
    EXPECT_EQ(h.tools().second, "On — not saved for the next launch: cannot write /x/Veldrin.conf");
    EXPECT_EQ(h.fakes.events.filter(lidActivity).size(), 1); // kept while it runs
    h.fakes.defaultsWriteProblem.reset();
    h.delegate->toggleLidKeepAwake();
    ASSERT_TRUE(h.changed());
    EXPECT_EQ(h.tools().second, "Off — normal lid sleep applies");
}

TEST(IdleLock, AtMostOneAssertionTheChoiceAlwaysStoredAndAProblemShownNotHidden) {
    Lid h;
    const auto idle = [&] { return h.tools(Action::togglePreventIdleScreenLock); };
    h.delegate->setPreventIdleScreenLock(true);
    h.delegate->setPreventIdleScreenLock(true);
    EXPECT_EQ(h.fakes.heldActivities.size(), 1u);
    EXPECT_EQ(idle().second, "On — the display will stay awake");
    h.delegate->togglePreventIdleScreenLock();
    EXPECT_TRUE(h.fakes.heldActivities.empty());
    EXPECT_EQ(idle().second, "Off — normal display timeout applies");

    // The desktop refuses and the store cannot keep the choice: the switch
    // still follows the user, and its line says what went wrong.
    h.fakes.activityRefusal = "no session bus";
    h.fakes.defaultsWriteProblem = "cannot write /x/Veldrin.conf";
    h.delegate->togglePreventIdleScreenLock();
    EXPECT_EQ(idle().first.checkmark, Checkmark::on);
    EXPECT_EQ(idle().second, "On — the desktop refused: no session bus");
    h.delegate->togglePreventIdleScreenLock();
    EXPECT_EQ(idle().first.checkmark, Checkmark::off);
    EXPECT_EQ(idle().second, "Off — not saved for the next launch: cannot write /x/Veldrin.conf");
    EXPECT_EQ(h.fakes.events.filter("write:preventIdleScreenLock").size(), 5);
}

TEST(Power, BothSettingsComeBackAtLaunchAndOnlyTheirAssertionsEndAtQuit) {
    Lid h;
    h.setSystem("1");
    h.fakes.defaults = {{"lidKeepAwakeManaged", true}, {"preventIdleScreenLock", true}};
    h.delegate->applicationDidFinishLaunching({.statusItem = false, .timers = false});
    ASSERT_TRUE(test::waitUntil([&] { return !h.delegate->launchWorkPending(); }));
    EXPECT_EQ(h.fakes.events.filter("begin:"), (QStringList{idleActivity, lidActivity}));
    // Restored before anything else is looked at.
    EXPECT_EQ(h.fakes.events.indexOf(idleActivity), h.fakes.events.indexOf("read:preventIdleScreenLock") + 1);
    h.delegate->applicationWillTerminate();
    EXPECT_TRUE(h.fakes.heldActivities.empty());
    EXPECT_TRUE(h.fakes.defaults["lidKeepAwakeManaged"] && h.fakes.defaults["preventIdleScreenLock"]);
}
