// Launch, timers and termination.
#include "app/Harness.h"

#include <gtest/gtest.h>

using namespace veldrin;

TEST(Launch, FirstLaunchRunsTheStepsInOrder) {
    test::Harness h;
    h.delegate->applicationDidFinishLaunching({});
    EXPECT_EQ(h.fakes.events,
              (QStringList{"statusItem", "toolTip:Veldrin 0.1.0 (build 1)", "menu",
                           "read:preventIdleScreenLock", "repeat:5000", "repeat:600000", "after:20000"}));
    // The state shows as soon as the controller has answered, once.
    ASSERT_TRUE(test::waitUntil([&] { return h.fakes.events.contains("indicator"); }));
    EXPECT_EQ(h.calls(), QList<QStringList>{{"app-processes"}});
    EXPECT_TRUE(h.fakes.heldActivities.empty());
    EXPECT_EQ(h.delegate->bridge.claudeBridgeStatus, "not run yet");
}

TEST(Launch, TicksDoNothingOnceTheDelegateIsGone) {
    test::Harness h;
    h.delegate->applicationDidFinishLaunching({});
    ASSERT_TRUE(test::waitUntil([&] { return !h.delegate->indicator.appProcessQuery; }));
    h.fakes.repeating[0].tick();
    ASSERT_TRUE(test::waitUntil([&] { return h.calls().size() == 2; }));

    // The platform went with the delegate: a tick that reached it would crash.
    h.delegate.reset();
    for (auto& timer : h.fakes.repeating)
        timer.tick();
    for (auto& call : h.fakes.delayed)
        call.tick();
    EXPECT_EQ(h.calls().size(), 2);
}
