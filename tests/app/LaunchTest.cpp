// Launch, timers and termination.
#include "app/Harness.h"

#include <gtest/gtest.h>

using namespace veldrin;

namespace {

const QString idleActivity =
    QStringLiteral("begin:%1:Veldrin user enabled Prevent Idle Screen Lock").arg(std::uint64_t(1) << 40);

} // namespace

TEST(Launch, FirstLaunchRunsTheStepsInOrder) {
    test::Harness h;
    h.delegate->applicationDidFinishLaunching({});
    EXPECT_EQ(h.fakes.events,
              (QStringList{"statusItem", "toolTip:Veldrin 2.4.1 (build 318)", "menu",
                           "read:preventIdleScreenLock", "repeat:5", "repeat:600", "after:20"}));
    // The state shows as soon as the controller has answered, once.
    ASSERT_TRUE(test::waitUntil([&] { return h.fakes.events.contains("indicator"); }));
    EXPECT_EQ(h.calls(), QList<QStringList>{{"app-processes"}});
    EXPECT_TRUE(h.fakes.heldActivities.empty());
    EXPECT_EQ(h.fakes.delayed.front().seconds, 20.0);
    EXPECT_EQ(h.delegate->bridge.claudeBridgeStatus, "not run yet");
}

TEST(Launch, StoredIdleLockPreventionIsRestoredFirstAndSurvivesQuitting) {
    test::Harness h;
    h.fakes.defaults["preventIdleScreenLock"] = true;
    h.delegate->applicationDidFinishLaunching({});
    const QStringList& e = h.fakes.events;
    EXPECT_EQ(e.indexOf(idleActivity), e.indexOf("read:preventIdleScreenLock") + 1);
    ASSERT_TRUE(h.delegate->idleLock.idleDisplayActivity);

    h.delegate->applicationWillTerminate();
    EXPECT_FALSE(h.delegate->idleLock.idleDisplayActivity);
    EXPECT_TRUE(h.fakes.heldActivities.empty());
    EXPECT_TRUE(h.fakes.defaults["preventIdleScreenLock"]);
}

TEST(Launch, TicksDoNothingOnceTheDelegateIsGone) {
    test::Harness h;
    h.delegate->applicationDidFinishLaunching({});
    ASSERT_TRUE(test::waitUntil([&] { return !h.delegate->indicator.appProcessQuery; }));
    h.fakes.repeating[0].tick();
    ASSERT_TRUE(test::waitUntil([&] { return h.calls().size() == 2; }));

    h.delegate.reset();
    for (auto& timer : h.fakes.repeating)
        timer.tick();
    for (auto& call : h.fakes.delayed)
        call.tick();
    test::waitUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_EQ(h.calls().size(), 2);
}

TEST(Launch, StatusItemWithoutButtonGetsNoTooltipOrImage) {
    test::Harness h("echo '1\tChatGPT'");
    h.delegate = std::make_unique<AppDelegate>(h.fakes.make(false));
    h.delegate->applicationDidFinishLaunching({});
    h.delegate->refreshNow();
    EXPECT_EQ(h.delegate->indicator.state, SyncState::blocked);
    EXPECT_FALSE(h.fakes.events.contains("indicator"));
    EXPECT_TRUE(h.fakes.statusItem->toolTip.isEmpty());
}

TEST(Launch, IdleLockSwitchHoldsAtMostOneAssertionAndAlwaysStores) {
    test::Harness h;
    h.delegate->setPreventIdleScreenLock(true);
    h.delegate->setPreventIdleScreenLock(true);
    EXPECT_EQ(h.fakes.heldActivities.size(), 1u);
    h.delegate->togglePreventIdleScreenLock();
    EXPECT_TRUE(h.fakes.heldActivities.empty());
    h.fakes.events.clear();
    h.delegate->setPreventIdleScreenLock(false);
    EXPECT_EQ(h.fakes.events, QStringList{"write:preventIdleScreenLock=false"});
}
