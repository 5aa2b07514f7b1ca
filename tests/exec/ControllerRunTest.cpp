// Streamed controller runs, end to end through a real controller script and a
// real (offscreen) log window.
#include "app/AppDelegate.h"
#include "app/Paths.h"
#include "exec/LogWindow.h"

#include "support/Fakes.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

using namespace veldrin;

namespace {

const QString closing0 = QStringLiteral("\nFinished with exit code 0.\n");

struct Fixture {
    test::TempHome home;
    test::FakePlatform fakes;
    AppDelegate delegate{fakes.make()};

    explicit Fixture(const QByteArray& body) {
        home.writeController(test::recordingController(body));
        delegate.statusItem = fakes.statusBar->createStatusItem();
    }
    // Waits until the run has been handed back and its window shows the end.
    bool finish() {
        return test::waitUntil([&] { return !delegate.activeProcess; }, std::chrono::seconds(30)) &&
               test::waitUntil([&] {
                   return delegate.logWindow &&
                          delegate.logWindow->transcript().contains(QStringLiteral("\nFinished with exit code "));
               });
    }
    QString transcript() const { return delegate.logWindow->transcript(); }
};

} // namespace

TEST(ControllerRun, SilentRunShowsExactlyTheClosingLine) {
    Fixture f("exit 0");
    f.delegate.runController({QStringLiteral("audit")}, QStringLiteral("Veldrin Audit"));
    ASSERT_TRUE(f.finish());
    EXPECT_EQ(f.transcript(), closing0);
    EXPECT_EQ(f.delegate.logWindow->window()->windowTitle(), QStringLiteral("Veldrin Audit"));
    EXPECT_TRUE(f.delegate.logWindow->window()->isVisible());
    EXPECT_EQ(test::recordedCalls(f.home), (QList<QStringList>{{"audit"}, {"app-processes"}}));
}

TEST(ControllerRun, StateIsWorkingWhileTheRunLastsAndRefreshedAfter) {
    Fixture f("[ \"$1\" = now ] && { echo go; while [ ! -f \"$HOME/release\" ]; do sleep 0.05; done; }; exit 0");
    f.delegate.runController({QStringLiteral("now")}, QStringLiteral("Veldrin"));
    ASSERT_TRUE(f.delegate.activeProcess);
    EXPECT_EQ(f.delegate.state, SyncState::working);
    EXPECT_EQ(f.fakes.statusBar->created->tints.size(), 1u);

    // A second operation while the first runs: no window, nothing started.
    const auto first = f.delegate.logWindow;
    const int windows = QApplication::topLevelWidgets().size();
    f.delegate.runController({QStringLiteral("audit")}, QStringLiteral("Veldrin Audit"));
    f.delegate.auditProfiles();
    f.delegate.showSyncLogs();
    EXPECT_EQ(f.delegate.logWindow, first);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windows);

    f.home.writeScript(QStringLiteral("release"), "");
    ASSERT_TRUE(f.finish());
    EXPECT_EQ(f.transcript(), QStringLiteral("go\n") + closing0);
    EXPECT_EQ(f.delegate.state, SyncState::ready);
    const auto calls = test::recordedCalls(f.home);
    EXPECT_EQ(calls.count(QStringList{"audit"}), 0);
    EXPECT_EQ(calls.count(QStringList{"logs", "10"}), 0);
    EXPECT_EQ(calls.last(), QStringList{"app-processes"});
}

TEST(ControllerRun, StderrIsInterleavedAndNonZeroExitReported) {
    Fixture f("echo out1; sleep 0.05; echo err1 >&2; sleep 0.05; echo out2; exit 5");
    f.delegate.runController({QStringLiteral("logs"), QStringLiteral("10")}, QStringLiteral("Last 10 Veldrin Runs"));
    ASSERT_TRUE(f.finish());
    EXPECT_EQ(f.transcript(), QStringLiteral("out1\nerr1\nout2\n\nFinished with exit code 5.\n"));
}

TEST(ControllerRun, MissingControllerSaysSoAndLeavesTheStateAlone) {
    Fixture f("exit 0");
    QFile::remove(controller());
    f.delegate.runController({QStringLiteral("audit")}, QStringLiteral("Veldrin Audit"));
    EXPECT_FALSE(f.delegate.activeProcess);
    EXPECT_TRUE(f.fakes.statusBar->created->tints.empty()); // no refresh
    test::spin(std::chrono::milliseconds(100));
    EXPECT_EQ(f.transcript(), QStringLiteral("Could not start: ") + controller() +
                                  QStringLiteral(": No such file or directory\n"));

    // The next operation starts normally.
    f.home.writeController(test::recordingController("echo fine"));
    f.delegate.syncNow();
    ASSERT_TRUE(f.finish());
    EXPECT_EQ(f.transcript(), QStringLiteral("fine\n") + closing0);
    EXPECT_EQ(f.delegate.logWindow->window()->windowTitle(), QStringLiteral("Veldrin"));
}

TEST(ControllerRun, RunThatEndsBeforeRunControllerReturnsStillEndsCleanly) {
    Fixture f("exit 0");
    f.delegate.runController({QStringLiteral("audit")}, QStringLiteral("Veldrin Audit"));
    // Give the controller time to exit before the main thread looks again.
    QThread::msleep(300);
    EXPECT_TRUE(f.delegate.activeProcess);
    ASSERT_TRUE(f.finish());
    EXPECT_FALSE(f.delegate.activeProcess);
    EXPECT_EQ(f.delegate.state, SyncState::ready);
}

TEST(ControllerRun, SignalledControllerReportsTheSignalNumber) {
    Fixture f("echo dying; kill -KILL $$");
    f.delegate.runController({QStringLiteral("now")}, QStringLiteral("Veldrin"));
    ASSERT_TRUE(f.finish());
    EXPECT_EQ(f.transcript(), QStringLiteral("dying\n\nFinished with exit code 9.\n"));
}

TEST(ControllerRun, EveryByteArrivesInOrderEvenAcrossSplitCharactersAndInvalidBytes) {
    // "é" is split across two writes with a pause between; 0xFF is invalid;
    // the run ends on a cut-off character.
    Fixture f("printf 'caf\\303'; sleep 0.2; printf '\\251 ok \\377 end\\n'; printf 'tail \\342\\206'");
    f.delegate.runController({QStringLiteral("now")}, QStringLiteral("Veldrin"));
    ASSERT_TRUE(f.finish());
    EXPECT_EQ(f.transcript(), QStringLiteral("café ok \uFFFD end\ntail \uFFFD") + closing0);
}

TEST(ControllerRun, ReplacedWindowStaysOnScreenWithItsTranscript) {
    Fixture f("echo \"ran $1\"");
    f.delegate.auditProfiles();
    ASSERT_TRUE(f.finish());
    QPointer<QWidget> firstWindow = f.delegate.logWindow->window();
    f.delegate.showSyncLogs();
    ASSERT_TRUE(f.finish());
    test::spin(std::chrono::milliseconds(50));
    ASSERT_FALSE(firstWindow.isNull());
    EXPECT_TRUE(firstWindow->isVisible());
    EXPECT_EQ(firstWindow->windowTitle(), QStringLiteral("Veldrin Audit"));
    EXPECT_EQ(f.delegate.logWindow->window()->windowTitle(), QStringLiteral("Last 10 Veldrin Runs"));
    EXPECT_EQ(f.transcript(), QStringLiteral("ran logs\n") + closing0);
}

TEST(ControllerRun, DirectActionsSendTheirVectorsAndTitles) {
    Fixture f("exit 0");
    const std::vector<std::tuple<void (AppDelegate::*)(), QStringList, QString>> cases{
        {&AppDelegate::syncNow, {"now"}, "Veldrin"},
        {&AppDelegate::syncClaudeNow, {"claude", "sync"}, "Claude Code Sync"},
        {&AppDelegate::importIntoClaudeNow, {"claude", "import"}, "Import into Claude Code"},
        {&AppDelegate::auditProfiles, {"audit"}, "Veldrin Audit"},
        {&AppDelegate::showSyncLogs, {"logs", "10"}, "Last 10 Veldrin Runs"},
    };
    for (const auto& [action, args, title] : cases) {
        (f.delegate.*action)();
        ASSERT_TRUE(f.finish());
        EXPECT_EQ(f.delegate.logWindow->window()->windowTitle(), title);
        const auto calls = test::recordedCalls(f.home);
        EXPECT_EQ(calls[calls.size() - 2], args);
    }
}
