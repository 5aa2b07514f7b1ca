// Launch, timers and termination, with fakes for the status item, defaults,
// clock, timers and activities, and a real controller script.
#include "app/AppDelegate.h"

#include "support/Fakes.h"
#include "support/TestSupport.h"

#include <QMenu>

#include <gtest/gtest.h>

using namespace veldrin;

namespace {

const QString idleReason = QStringLiteral("Veldrin user enabled Prevent Idle Screen Lock");
const QString idleOptions = QString::number(std::uint64_t(1) << 40);

} // namespace

TEST(Launch, FirstLaunchRunsTheStepsInOrder) {
    test::TempHome home;
    home.writeController(test::recordingController());
    test::FakePlatform fakes;
    AppDelegate delegate(fakes.make());
    delegate.applicationDidFinishLaunching({});

    EXPECT_EQ(fakes.log->events,
              (QStringList{QStringLiteral("statusItem"), QStringLiteral("toolTip:Veldrin 2.4.1 (build 318)"),
                           QStringLiteral("menu"), QStringLiteral("read:preventIdleScreenLock"),
                           QStringLiteral("indicator"), QStringLiteral("repeat:5"), QStringLiteral("repeat:600"),
                           QStringLiteral("after:20")}));
    // No display activity on a first launch; the state was computed once.
    EXPECT_TRUE(fakes.activities->held.empty());
    EXPECT_EQ(test::recordedCalls(home), QList<QStringList>{{QStringLiteral("app-processes")}});
    ASSERT_TRUE(delegate.timer);
    ASSERT_TRUE(delegate.claudeBridgeTimer);
    EXPECT_EQ(delegate.timer->interval(), 5.0);
    EXPECT_EQ(delegate.claudeBridgeTimer->interval(), 600.0);
    EXPECT_EQ(fakes.timers->delayed.front().seconds, 20.0);
    ASSERT_NE(fakes.statusBar->created->menu(), nullptr);
    EXPECT_EQ(delegate.claudeBridgeStatus, QStringLiteral("not run yet"));
}

TEST(Launch, StoredIdleLockPreventionIsRestoredBeforeTheFirstRefreshAndSurvivesQuitting) {
    test::TempHome home;
    home.writeController(test::recordingController());
    test::FakePlatform fakes;
    Platform platform = fakes.make();
    fakes.defaults->values[QStringLiteral("preventIdleScreenLock")] = true;
    {
        AppDelegate delegate(std::move(platform));
        delegate.applicationDidFinishLaunching({});
        const QStringList& e = fakes.log->events;
        const auto begin = e.indexOf(QStringLiteral("begin:") + idleOptions + QLatin1Char(':') + idleReason);
        ASSERT_GE(begin, 0) << e.join(QLatin1Char(' ')).toStdString();
        EXPECT_LT(begin, e.indexOf(QStringLiteral("indicator")));
        EXPECT_TRUE(delegate.idleDisplayActivity.has_value());

        delegate.applicationWillTerminate();
        EXPECT_FALSE(delegate.idleDisplayActivity.has_value());
        EXPECT_TRUE(fakes.activities->held.empty());
        EXPECT_TRUE(fakes.defaults->values[QStringLiteral("preventIdleScreenLock")]);
    }
}

TEST(Launch, TerminationEndsBothAssertionsAndNothingElse) {
    test::FakePlatform fakes;
    AppDelegate delegate(fakes.make());
    delegate.idleDisplayActivity = fakes.activities->begin(1, QStringLiteral("a"));
    delegate.lidSystemActivity = fakes.activities->begin(2, QStringLiteral("b"));
    fakes.log->events.clear();
    delegate.applicationWillTerminate();
    EXPECT_EQ(fakes.log->events, (QStringList{QStringLiteral("end:1"), QStringLiteral("end:2")}));
    EXPECT_FALSE(delegate.idleDisplayActivity);
    EXPECT_FALSE(delegate.lidSystemActivity);
}

TEST(Launch, TicksRefreshWhileTheDelegateLivesAndDoNothingAfterwards) {
    test::TempHome home;
    home.writeController(test::recordingController());
    test::FakePlatform fakes;
    auto delegate = std::make_unique<AppDelegate>(fakes.make());
    delegate->applicationDidFinishLaunching({});
    EXPECT_EQ(test::recordedCalls(home).size(), 1);

    fakes.timers->repeating[0].tick();
    EXPECT_EQ(test::recordedCalls(home).size(), 2);

    delegate.reset();
    for (auto& timer : fakes.timers->repeating)
        timer.tick();
    for (auto& call : fakes.timers->delayed)
        call.call();
    EXPECT_EQ(test::recordedCalls(home).size(), 2);
}

TEST(Launch, StatusItemWithoutButtonGetsNoTooltipOrImage) {
    test::TempHome home;
    home.writeController(test::recordingController("echo '1\tChatGPT'"));
    test::FakePlatform fakes;
    AppDelegate delegate(fakes.make(/*statusButton=*/false));
    delegate.applicationDidFinishLaunching({});
    EXPECT_FALSE(fakes.log->events.contains(QStringLiteral("indicator")));
    EXPECT_TRUE(fakes.statusBar->created->toolTip.isEmpty());
    EXPECT_EQ(delegate.state, SyncState::blocked);
}

TEST(Launch, WithoutStatusItemAndTimersForPrintingTheMenu) {
    test::TempHome home;
    home.writeController(test::recordingController());
    test::FakePlatform fakes;
    AppDelegate delegate(fakes.make());
    delegate.applicationDidFinishLaunching({.statusItem = false, .timers = false});
    EXPECT_EQ(fakes.log->events, QStringList{QStringLiteral("read:preventIdleScreenLock")});
    EXPECT_EQ(delegate.statusItem, nullptr);
    EXPECT_EQ(delegate.timer, nullptr);
    EXPECT_TRUE(fakes.timers->delayed.empty());
}

TEST(Launch, IdleLockSwitchHoldsAtMostOneAssertionAndAlwaysStores) {
    test::FakePlatform fakes;
    AppDelegate delegate(fakes.make());
    delegate.setPreventIdleScreenLock(true);
    delegate.setPreventIdleScreenLock(true);
    EXPECT_EQ(fakes.activities->held.size(), 1u);
    delegate.togglePreventIdleScreenLock();
    EXPECT_TRUE(fakes.activities->held.empty());
    EXPECT_FALSE(delegate.idleDisplayActivity);
    fakes.log->events.clear();
    delegate.setPreventIdleScreenLock(false);
    EXPECT_EQ(fakes.log->events, QStringList{QStringLiteral("write:preventIdleScreenLock=false")});
}
