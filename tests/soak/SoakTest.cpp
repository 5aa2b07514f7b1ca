// A long day in a few minutes: thousands of refreshes on an accelerated clock,
// hundreds of streamed runs and stop sequences, cloud and lid readings against
// controllers that hang, flood or answer garbage, and background Claude syncs
// beside them. Afterwards nothing may be left over: descriptors, threads,
// children. (Memory over a day is bench_idle's to measure.)
#include "app/Harness.h"

#include <QDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <random>
#include <sys/wait.h>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

// What the controller and pmset do depends on $HOME/mode.
constexpr const char* controllerScript = R"(#!/bin/sh
mode=$(cat "$HOME/mode")
case "$1:$mode" in
app-processes:apps) printf '4242\tChatGPT\n' ;;
app-processes:garbage | cloud:garbage | claude:garbage) exec head -c 3000 "$HOME/garbage" ;;
cloud:hang | claude:hang) exec sleep 60 ;;
cloud:flood | claude:flood) exec yes flood ;;
cloud:*) echo '{"profiles": [{"profile": "pri", "name": "Mac"}]}' ;;
now:fail) echo failing >&2; exit 3 ;;
now:signal) echo dying; kill -KILL $$ ;;
now:big) exec cat "$HOME/big" ;;
now:helper) echo working; (exec sleep 2) & exit 0 ;;
esac
exit 0
)";
constexpr const char* pmsetScript = R"(#!/bin/sh
case $(cat "$HOME/mode") in
hang) exec sleep 60 ;; flood) exec yes SleepDisabled ;; garbage) exec head -c 3000 "$HOME/garbage" ;;
*) printf 'System-wide power settings:\n SleepDisabled\t\t0\n' ;;
esac
)";
qsizetype entries(const char* folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size();
}

const QString closing0 = QStringLiteral("\nFinished with exit code 0.\n");

struct Soak : test::Harness {
    QString big;
    Soak() {
        home.writeController(controllerScript);
        home.writeScript("../root/usr/bin/pmset", pmsetScript);
        home.writeScript("../root/bin/kill", "#!/bin/sh\nexit 0\n");
        QByteArray garbage;
        for (std::mt19937 random(7); garbage.size() < 3000;)
            garbage += char(random());
        home.writeScript("garbage", garbage);
        QByteArray bytes; // many reads, with characters split between them
        for (int i = 0; bytes.size() < 10'000'000; ++i)
            bytes += "line " + QByteArray::number(i) + " café ↔ naïve\t" + QByteArray(i % 97, 'x') + '\n';
        home.writeScript("big", bytes);
        big = QString::fromUtf8(bytes) + closing0;
        delegate->limits.drainAfterExit = 50ms;
        delegate->limits.cloudStatus = delegate->limits.lid =
            delegate->limits.claudeBridge = {500ms, 64 << 10};
    }
    // `count` times, going round the modes: set the mode, start, wait until
    // everything has been handed back, check, and drop what the fakes kept.
    template <class Start, class Check>
    void cycle(int count, const std::vector<const char*>& modes, Start start, Check check) {
        for (int i = 0; i < count && !testing::Test::HasFailure(); ++i) {
            const std::size_t m = i % modes.size();
            home.writeScript("mode", modes[m]);
            start(m);
            ASSERT_TRUE(test::waitUntil(
                [&] {
                    return !delegate->launchWorkPending() && !delegate->runs.activeProcess &&
                           !delegate->appControl.isQuittingApps && !delegate->bridge.claudeBridgeRunning;
                },
                30s));
            SCOPED_TRACE(modes[m]);
            check(m);
            fakes.windows.clear();
            fakes.alerts.clear();
            fakes.events.clear();
        }
    }

    void round(int scale) {
        cycle(
            300 * scale, {"ready", "apps", "garbage"},
            [&](std::size_t) {
                fakes.advance(5s); // cloud and lid readings fall due every few refreshes
                delegate->refresh();
            },
            [&](std::size_t m) {
                ASSERT_TRUE(m == 2 ||
                            delegate->indicator.state == (m ? SyncState::blocked : SyncState::ready));
            });
        const QString runs[] = {"failing\n\nFinished with exit code 3.\n",
                                "dying\n\nFinished with exit code 9.\n", big, "working\n" + closing0};
        cycle(
            20 * scale, {"fail", "signal", "big", "helper"},
            [&](std::size_t) { delegate->runController({"now"}, "Veldrin"); },
            [&](std::size_t m) { ASSERT_TRUE(fakes.windows.size() == 1 && transcript() == runs[m]); });
        const QString stops[] = {
            "Requesting a normal quit…\nAll ChatGPT processes have stopped.\n",
            "Requesting a normal quit…\nTerminating 1 lingering process(es)…\n"
            "Force-quitting 1 process(es) that did not stop…\nCould not stop 1 process(es): 4242.\n",
            "Closing Primary, Alt, and Tri before repairing project data…\n"
            "All Codex processes stopped. Repairing Alt project data…\n"};
        cycle(
            20 * scale, {"ready", "apps", "ready"},
            [&](std::size_t m) {
                fakes.alertAnswers = {firstButton};
                m == 2 ? delegate->repairAlt() : delegate->quitAllChatGPTProcesses();
            },
            [&](std::size_t m) {
                ASSERT_EQ(fakes.windows.size(), m == 2 ? 2u : 1u);
                ASSERT_EQ(fakes.windows[0]->transcript(), stops[m]);
            });
        cycle(
            8 * scale, {"hang", "flood", "garbage", "ready"},
            [&](std::size_t) {
                delegate->refreshCloudStatus(true);
                delegate->refreshLidKeepAwake(true);
                delegate->runClaudeBridgeInBackground();
            },
            [&](std::size_t m) {
                const CloudState& cloud = delegate->cloud;
                const QString hung = home.home() + "/bin/veldrin did not answer within 0.5 seconds";
                ASSERT_TRUE(m > 0 || cloud.cloudError == hung);
                ASSERT_EQ(cloud.cloudError.has_value(), m != 3);
                ASSERT_EQ(delegate->lid.lidKeepAwakeError.has_value(), m != 3);
                ASSERT_FALSE(fakes.events.join(' ').contains("write:")); // a reading stores nothing
                ASSERT_EQ(cloud.cloudDeviceName == "Mac" && delegate->lid.lidKeepAwakeEnabled == false,
                          m == 3);
                const QString& bridge = delegate->bridge.claudeBridgeStatus;
                ASSERT_TRUE(bridge.startsWith(m < 2 ? "failed at " : "synced at ")) << bridge.toStdString();
            });
    }
};

} // namespace

TEST(Soak, ADayOfWorkLeavesNothingBehind) {
    Soak soak;
    soak.statusItem();
    soak.round(1); // the first round settles what is made once and kept
    ASSERT_FALSE(testing::Test::HasFailure());
    const qsizetype fds = entries("/dev/fd"), threads = entries("/proc/self/task");

    soak.round(10);
    ASSERT_FALSE(testing::Test::HasFailure());
    EXPECT_EQ(entries("/dev/fd"), fds);
    EXPECT_TRUE(test::waitUntil([&] { return entries("/proc/self/task") == threads; }, 5s))
        << entries("/proc/self/task") << " threads, " << threads << " before";
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1); // no child, running or unreaped
    EXPECT_EQ(errno, ECHILD);
}
