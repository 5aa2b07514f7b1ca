// The sync state, app discovery and the pause switch, against real controller
// scripts in a temporary HOME.
#include "app/AppDelegate.h"
#include "app/Paths.h"
#include "platform/IndicatorIcon.h"

#include "support/Fakes.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <gtest/gtest.h>

using namespace veldrin;

namespace {

const QByteArray pauseAware = R"(
case "$1" in
  pause) mkdir -p "$HOME/.codex" && echo "$2" > "$HOME/.codex/.sync-paused" ;;
  resume) rm -f "$HOME/.codex/.sync-paused" ;;
  app-processes) [ -f "$HOME/running" ] && cat "$HOME/running" ;;
esac
exit 0
)";

struct Fixture {
    test::TempHome home;
    test::FakePlatform fakes;
    AppDelegate delegate{fakes.make()};

    explicit Fixture(const QByteArray& body = pauseAware) {
        home.writeController(test::recordingController(body));
        delegate.statusItem = fakes.statusBar->createStatusItem();
    }
    void setRunning(const QByteArray& lines) { home.writeScript(QStringLiteral("running"), lines); }
    void makeMarker() {
        QDir().mkpath(home.home() + QStringLiteral("/.codex"));
        QFile f(pauseFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QList<QStringList> calls() const { return test::recordedCalls(home); }
    QColor lastTint() const { return fakes.statusBar->created->tints.back(); }
};

const QStringList appProcesses{QStringLiteral("app-processes")};

} // namespace

TEST(SyncState, ReadyWhenNothingRunsAndBlockedWhenAnAppRuns) {
    Fixture f;
    f.delegate.refresh();
    EXPECT_EQ(f.delegate.state, SyncState::ready);
    EXPECT_EQ(f.lastTint(), indicatorTint(SyncState::ready, QGuiApplication::palette()));

    f.setRunning("4242\tChatGPT\n");
    f.delegate.refresh();
    EXPECT_EQ(f.delegate.state, SyncState::blocked);
    EXPECT_EQ(f.lastTint(), indicatorTint(SyncState::blocked, QGuiApplication::palette()));
    EXPECT_EQ(f.calls(), (QList<QStringList>{appProcesses, appProcesses}));

    // Only line feeds: nobody runs.
    f.setRunning("\n\n\n");
    f.delegate.refresh();
    EXPECT_EQ(f.delegate.state, SyncState::ready);
}

TEST(SyncState, PauseMarkerWinsOverRunningAppsWithoutAskingTheController) {
    Fixture f;
    f.setRunning("4242\tChatGPT\n");
    f.makeMarker();
    f.delegate.refresh();
    EXPECT_EQ(f.delegate.state, SyncState::paused);
    EXPECT_TRUE(f.calls().isEmpty());

    // A folder at the marker path counts as the marker.
    QFile::remove(pauseFile());
    ASSERT_TRUE(QDir().mkpath(pauseFile()));
    f.delegate.refresh();
    EXPECT_EQ(f.delegate.state, SyncState::paused);
    EXPECT_EQ(f.lastTint(), indicatorTint(SyncState::paused, QGuiApplication::palette()));
    EXPECT_TRUE(f.calls().isEmpty());
}

TEST(SyncState, WorkingWinsOverTheMarkerAndLooksAtNothing) {
    Fixture f;
    f.makeMarker();
    f.delegate.activeProcess = std::make_shared<ControllerProcess>();
    f.delegate.refresh();
    EXPECT_EQ(f.delegate.state, SyncState::working);
    EXPECT_EQ(f.lastTint(), indicatorTint(SyncState::working, QGuiApplication::palette()));
    f.delegate.activeProcess.reset();

    QFile::remove(pauseFile());
    f.setRunning("1\tChatGPT\n");
    f.delegate.isQuittingApps = true;
    f.delegate.refresh();
    EXPECT_EQ(f.delegate.state, SyncState::working);
    EXPECT_TRUE(f.calls().isEmpty());
}

TEST(SyncState, IndicatorIsOneSymbolInTheTintAlone) {
    const QColor blue(0x00, 0x7A, 0xFF);
    const QImage image = indicatorImage(22, blue).convertToFormat(QImage::Format_ARGB32);
    int painted = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = QColor::fromRgba(image.pixel(x, y));
            if (c.alpha() < 128)
                continue;
            ++painted;
            // Antialiased edges fade in alpha only; the colour is the tint's.
            EXPECT_NEAR(c.red(), blue.red(), 4) << x << "," << y;
            EXPECT_NEAR(c.green(), blue.green(), 4) << x << "," << y;
            EXPECT_NEAR(c.blue(), blue.blue(), 4) << x << "," << y;
        }
    }
    EXPECT_GT(painted, 22 * 22 / 8);
    EXPECT_LT(painted, 22 * 22 / 2);
}

TEST(SyncState, ControllerThatCannotStartOrHangsReadsAsBlocked) {
    test::TempHome home;
    test::FakePlatform fakes;
    AppDelegate delegate(fakes.make());
    delegate.refresh();
    EXPECT_EQ(delegate.state, SyncState::blocked);
    EXPECT_EQ(delegate.appProcessLines(), QStringList{controller() + QStringLiteral(": No such file or directory")});

    // Bounded: the menu bar waits at most the query's time limit.
    home.writeController("#!/bin/sh\nwhile :; do sleep 1; done\n");
    EXPECT_EQ(delegate.appProcessLines(),
              QStringList{controller() + QStringLiteral(" did not answer within 10 seconds")});
}

TEST(SyncState, ProcessIdentifiersAreTheFirstTabField) {
    Fixture f;
    f.setRunning("101\tChatGPT\tmain\n"
                 "202\n"
                 "\t\t\n"
                 "\t303\tChatGPT Helper\n"
                 "\n"
                 "0x1F\tChatGPT Tri\n");
    EXPECT_EQ(f.delegate.appProcessLines(),
              (QStringList{QStringLiteral("101\tChatGPT\tmain"), QStringLiteral("202"), QStringLiteral("\t\t"),
                           QStringLiteral("\t303\tChatGPT Helper"), QStringLiteral("0x1F\tChatGPT Tri")}));
    // Text as printed, never a number; a line of only tabs gives no identifier.
    EXPECT_EQ(f.delegate.appProcessIDs(), (QStringList{QStringLiteral("101"), QStringLiteral("202"),
                                                       QStringLiteral("303"), QStringLiteral("0x1F")}));
    // ...but still counts as a running process.
    f.setRunning("\t\t\n");
    f.delegate.refresh();
    EXPECT_EQ(f.delegate.state, SyncState::blocked);
}

TEST(SyncState, TogglePauseSendsPauseOrResumeByTheMarker) {
    Fixture f;
    f.delegate.togglePause();
    EXPECT_EQ(f.delegate.state, SyncState::paused);
    f.delegate.togglePause();
    EXPECT_EQ(f.delegate.state, SyncState::ready);
    EXPECT_EQ(f.calls(), (QList<QStringList>{{QStringLiteral("pause"), QStringLiteral("paused from menu bar")},
                                            {QStringLiteral("resume")},
                                            appProcesses}));
    // While apps are being stopped the state says working, yet the switch
    // still decides by the marker itself.
    f.makeMarker();
    f.delegate.isQuittingApps = true;
    f.delegate.togglePause();
    EXPECT_FALSE(QFile::exists(pauseFile()));
    EXPECT_EQ(f.calls().last(), QStringList{QStringLiteral("resume")});
}

TEST(SyncState, PathsFollowHomeOnEveryUse) {
    test::TempHome first;
    EXPECT_EQ(controller(), first.home() + QStringLiteral("/bin/veldrin"));
    EXPECT_EQ(pauseFile(), first.home() + QStringLiteral("/.codex/.sync-paused"));
    EXPECT_EQ(primaryApp(), first.systemRoot() + QStringLiteral("/Applications/ChatGPT.app"));
    {
        test::TempHome second;
        EXPECT_EQ(controller(), second.home() + QStringLiteral("/bin/veldrin"));
    }
    const QByteArray root = qgetenv("VELDRIN_SYSTEM_ROOT");
    qunsetenv("VELDRIN_SYSTEM_ROOT");
    EXPECT_EQ(primaryApp(), QStringLiteral("/Applications/ChatGPT.app"));
    EXPECT_EQ(systemPath(QStringLiteral("/usr/bin/pmset")), QStringLiteral("/usr/bin/pmset"));
    qputenv("VELDRIN_SYSTEM_ROOT", root);
    EXPECT_EQ(systemPath(QStringLiteral("/bin/kill")), first.systemRoot() + QStringLiteral("/bin/kill"));
}
