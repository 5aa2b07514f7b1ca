// What Veldrin costs while it sits in the status bar for a day, in one run:
// the real AppDelegate with the desktop platform, against a stand-in
// controller and pmset in a throw-away home (see TrayBench.h), offscreen.
// Only time is simulated: the clock is one the bench advances, and the
// scheduler records the repeating timers and the delayed call so that the
// bench fires them itself. Everything they start runs for real: the 5-second
// refresh (an app-processes query), the cloud status reading (at most every
// 30 s), the lid reading (every 15 s) and the Claude Code bridge run (20 s
// after launch, then every 600 s), each a child process on a thread of its
// own, handed back through the event loop.
//
// Each tick advances the clock 5 s, fires what is due, and then blocks in the
// event loop until the work the tick started has been handed back.
//
//   own CPU per tick   user + system time of this process over the day,
//                      divided by the ticks (the children's time not counted)
//   private memory     Private_Clean + Private_Dirty at the end of the day
//                      against after the first minute, without the clean
//                      pages of mapped files (see TrayBench.h: they count as
//                      private only while no other process maps the same
//                      library); smaps_rollup's own sum is printed as well
//   resident set       VmRSS at the end of the day against a minimal Qt tray
//                      program (minimal_tray) started in the same run
//
// Usage: bench_idle [--ticks=N] [--minimal=PATH]   (default 17280: a day)
// Prints what ran and one table; exit status 1 when a target is missed.

#include "TrayBench.h"
#include "app/AppDelegate.h"
#include "app/DesktopPlatform.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using veldrin::TimePoint;

// The simulated day's time, advanced by the bench only.
struct SimulatedTime {
    TimePoint now;
    veldrin::Instant monotonic = std::chrono::steady_clock::now();
    void advance(std::chrono::milliseconds by) {
        now += by;
        monotonic += by;
    }
};

class AcceleratedClock : public veldrin::Clock {
public:
    explicit AcceleratedClock(const SimulatedTime& time) : time_(time) {}
    TimePoint now() const override { return time_.now; }
    veldrin::Instant monotonicNow() const override { return time_.monotonic; }

private:
    const SimulatedTime& time_;
};

// Keeps the repeating timers and delayed calls; fireDue runs what is due.
class ManualScheduler : public veldrin::Scheduler {
public:
    explicit ManualScheduler(const SimulatedTime& time) : time_(time) {}

    std::unique_ptr<veldrin::RepeatingTimer> scheduleRepeating(std::chrono::milliseconds period,
                                                               std::function<void()> tick) override {
        auto entry = std::make_shared<Repeating>();
        entry->period = period;
        entry->tick = std::move(tick);
        entry->due = time_.now + period;
        repeating_.push_back(entry);
        return std::make_unique<Timer>(entry);
    }

    void after(std::chrono::milliseconds delay, std::function<void()> call) override {
        delayed_.push_back({time_.now + delay, std::move(call)});
    }

    // Every repeating timer due by now (in the order they were made), then
    // every delayed call due by now.
    void fireDue() {
        for (size_t i = 0; i < repeating_.size(); ++i) {
            const std::shared_ptr<Repeating> entry = repeating_[i];
            while (entry->alive && entry->due <= time_.now) {
                entry->due += entry->period;
                ++entry->fired;
                entry->tick();
            }
        }
        std::vector<std::function<void()>> due;
        for (auto it = delayed_.begin(); it != delayed_.end();) {
            if (it->first <= time_.now) {
                due.push_back(std::move(it->second));
                it = delayed_.erase(it);
            } else {
                ++it;
            }
        }
        for (const auto& call : due) {
            ++delayedRun_;
            call();
        }
    }

    long fired(std::chrono::milliseconds period) const {
        long count = 0;
        for (const auto& entry : repeating_)
            count += entry->period == period ? entry->fired : 0;
        return count;
    }
    long delayedRun() const { return delayedRun_; }

private:
    struct Repeating {
        std::chrono::milliseconds period{0};
        std::function<void()> tick;
        TimePoint due;
        long fired = 0;
        bool alive = true;
    };
    class Timer : public veldrin::RepeatingTimer {
    public:
        explicit Timer(std::shared_ptr<Repeating> entry) : entry_(std::move(entry)) {}
        ~Timer() override { entry_->alive = false; }
        std::chrono::milliseconds interval() const override { return entry_->period; }

    private:
        std::shared_ptr<Repeating> entry_;
    };

    const SimulatedTime& time_;
    std::vector<std::shared_ptr<Repeating>> repeating_;
    std::vector<std::pair<TimePoint, std::function<void()>>> delayed_;
    long delayedRun_ = 0;
};

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The resident set of the minimal tray program once it has shown its icon
// and sat idle for a moment; -1 when it did not come up.
long minimalTrayKb(const std::string& program, const bench::Sandbox& sandbox) {
    const bench::LaunchedTray tray = bench::launchUntilShown(
        {program}, bench::environmentWith(sandbox.variables()),
        sandbox.path(QStringLiteral("minimal_tray.log")).toStdString(), std::chrono::seconds(30));
    long kb = -1;
    if (tray.shown) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        kb = bench::residentKb(std::to_string(tray.pid));
    }
    if (tray.pid > 1)
        bench::terminateAndReap(tray.pid);
    return kb;
}

const char* verdict(bool met) {
    return met ? "met" : "MISSED";
}

} // namespace

int main(int argc, char** argv) {
    long ticks = 17280;
    std::string minimal = BENCH_MINIMAL_TRAY;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--ticks=", 8) == 0)
            ticks = std::max(12L, std::atol(argv[i] + 8));
        else if (std::strncmp(argv[i], "--minimal=", 10) == 0)
            minimal = argv[i] + 10;
    }
    const bench::Sandbox sandbox;
    if (!sandbox.ok()) {
        std::fprintf(stderr, "bench_idle: cannot lay out the temporary home\n");
        return 2;
    }
    sandbox.enter();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veldrin"));
    QApplication::setOrganizationName(QStringLiteral("Veldrin"));
    QApplication::setQuitOnLastWindowClosed(false);

    SimulatedTime time{
        std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now())};
    veldrin::Platform platform = veldrin::makeDesktopPlatform();
    platform.clock = std::make_unique<AcceleratedClock>(time);
    auto scheduler = std::make_unique<ManualScheduler>(time);
    const ManualScheduler& timers = *scheduler;
    ManualScheduler* firing = scheduler.get();
    platform.scheduler = std::move(scheduler);

    bench::PrivateMemory afterMinute, afterDay;
    long residentAfterDay = -1;
    double cpu = 0, wall = 0;
    long refreshTicks = 0, bridgeTicks = 0, delayedCalls = 0;
    {
        veldrin::AppDelegate delegate(std::move(platform));
        // Blocks in the event loop until every hand-back of the tick has run.
        const auto settle = [&delegate] {
            while (delegate.launchWorkPending() || delegate.bridge.claudeBridgeRunning)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        };
        delegate.applicationDidFinishLaunching({});
        settle();

        QElapsedTimer elapsed;
        elapsed.start();
        const double cpuBefore = cpuSeconds();
        for (long tick = 1; tick <= ticks; ++tick) {
            time.advance(std::chrono::seconds(5));
            firing->fireDue();
            settle();
            if (tick == 12)
                afterMinute = bench::privateMemory();
            if (tick % 720 == 0) // a sign of life every simulated hour
                std::fputc('.', stderr);
        }
        cpu = cpuSeconds() - cpuBefore;
        wall = double(elapsed.elapsed()) / 1000.0;
        std::fputc('\n', stderr);
        afterDay = bench::privateMemory();
        residentAfterDay = bench::residentKb("self");
        refreshTicks = timers.fired(veldrin::refreshInterval);
        bridgeTicks = timers.fired(delegate.bridge.claudeBridgeInterval);
        delayedCalls = timers.delayedRun();
        delegate.applicationWillTerminate();
    }
    const long minimalResident = minimalTrayKb(minimal, sandbox);
    if (minimalResident <= 0) {
        std::fprintf(stderr, "bench_idle: %s did not report its tray icon shown (log: %s)\n", minimal.c_str(),
                     qPrintable(sandbox.path(QStringLiteral("minimal_tray.log"))));
        return 2;
    }

    std::printf("%ld ticks of 5 s (%.1f simulated hours) in %.1f s of wall time\n", ticks,
                double(ticks) * 5 / 3600, wall);
    std::printf("what ran, as the stand-ins logged it (launch included):\n");
    std::printf("  %6ld app-processes queries  (5-s timer fired %ld times)\n",
                sandbox.countCalls(QStringLiteral("app-processes")), refreshTicks);
    std::printf("  %6ld cloud status readings\n", sandbox.countCalls(QStringLiteral("cloud status")));
    std::printf("  %6ld lid readings (pmset -g)\n", sandbox.countCalls(QStringLiteral("pmset")));
    std::printf("  %6ld bridge runs (claude sync)  (600-s timer fired %ld times, delayed calls run: %ld)\n\n",
                sandbox.countCalls(QStringLiteral("claude sync")), bridgeTicks, delayedCalls);

    const double cpuPerTickMs = cpu * 1000 / double(ticks);
    const long growth = afterDay.own - afterMinute.own;
    const double residentRatio = double(residentAfterDay) / double(minimalResident);
    const bool cpuOk = cpuPerTickMs < 0.5;
    const bool growthOk = afterMinute.own > 0 && afterDay.own > 0 && growth < 1024;
    const bool residentOk = residentRatio <= 1.2;
    std::printf("%-44s %10s %10s %7s %18s  %s\n", "", "measured", "baseline", "ratio", "target", "verdict");
    std::printf("%-44s %10.3f %10s %7s %18s  %s\n", "own CPU per tick, user+sys (ms)", cpuPerTickMs, "-", "-",
                "< 0.5", verdict(cpuOk));
    std::printf("%-44s %10ld %10ld %7.2f %18s  %s\n", "private memory, day end vs first minute (kB)",
                afterDay.own, afterMinute.own, double(afterDay.own) / double(afterMinute.own),
                "growth < 1024 kB", verdict(growthOk));
    std::printf("%-44s %10ld %10ld %7.2f %18s  %s\n", "resident set, day end vs minimal tray (kB)",
                residentAfterDay, minimalResident, residentRatio, "<= 1.20", verdict(residentOk));
    std::printf("\nprivate memory grew %+ld kB over the day; own CPU over the day: %.2f s\n", growth, cpu);
    std::printf("smaps_rollup Private_Clean+Private_Dirty, shared libraries' clean pages included: "
                "%ld kB after the first minute, %ld kB at day end\n",
                afterMinute.rollup, afterDay.rollup);
    return cpuOk && growthOk && residentOk ? 0 : 1;
}
