// What reopening a huge saved run costs: a run history file of 1 GiB (short
// lines, its closing line last) is chosen from Recent Runs, as a user would
// after a restart, and timed until its window holds the end of the file and
// says how the run ended. The window keeps only the newest part of a
// transcript, so only that part should be read. Offscreen, in a throw-away
// home; the real delegate, log window and history reader, after a first
// window has loaded the fonts.
//
// Target: under 1 s from the choice to the window complete, and no stretch
// of the main thread over 50 ms meanwhile.
//
// Usage: bench_reopen [--mib=1024] [--runs=3]
// Exit status 1 when a target is missed.

#include "TrayBench.h"
#include "app/AppDelegate.h"
#include "app/DesktopPlatform.h"
#include "history/PastRuns.h"
#include "platform/System.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Passes everything on to the real window, and notes the end.
class WatchedWindow : public veldrin::LogWindow {
public:
    explicit WatchedWindow(std::shared_ptr<veldrin::LogWindow> real) : real_(std::move(real)) {}
    void show() override { real_->show(); }
    void append(const QString& text) override {
        if (!text.isEmpty())
            tail_ = (tail_ + text).right(64);
        real_->append(text);
    }
    void runStarted() override { real_->runStarted(); }
    void runEnded(const veldrin::RunOutcome& outcome) override {
        real_->runEnded(outcome);
        ended = true;
    }
    void setStopHandler(std::function<void()> stop) override { real_->setStopHandler(std::move(stop)); }
    void setHistoryFile(const QString& path) override { real_->setHistoryFile(path); }
    bool isActive() const override { return real_->isActive(); }

    bool ended = false;
    QString tail() const { return tail_; }

private:
    std::shared_ptr<veldrin::LogWindow> real_;
    QString tail_;
};

class WatchedWindows : public veldrin::LogWindows {
public:
    explicit WatchedWindows(std::unique_ptr<veldrin::LogWindows> real) : real_(std::move(real)) {}
    std::shared_ptr<veldrin::LogWindow> create(const QString& title) override {
        last = std::make_shared<WatchedWindow>(real_->create(title));
        return last;
    }
    std::shared_ptr<WatchedWindow> last;

private:
    std::unique_ptr<veldrin::LogWindows> real_;
};

// A saved run of `bytes`, lines of 100 bytes, and how it ended.
QString saveHugeRun(qint64 bytes) {
    const QString folder = veldrin::runHistoryFolder();
    QDir().mkpath(folder);
    const auto started =
        std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now());
    const QString path =
        folder + '/' + veldrin::historyFileName({started, 1, QStringLiteral("Veldrin Audit")});
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    const QByteArray line = QByteArray(99, 'x') + '\n';
    QByteArray block;
    for (int i = 0; i < 10000; ++i)
        block += line;
    const QByteArray closing = "\nFinished with exit code 0.\n";
    for (qint64 written = 0; written + block.size() + closing.size() <= bytes; written += block.size())
        file.write(block);
    file.write(closing);
    file.close();
    QFile outcome(veldrin::outcomeFileOf(path));
    if (!outcome.open(QIODevice::WriteOnly))
        return {};
    outcome.write(veldrin::outcomeRecord(veldrin::controllerOutcome(0, false, std::chrono::seconds(90))));
    return path;
}

} // namespace

int main(int argc, char** argv) {
    qint64 mib = 1024;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--mib=", 6) == 0)
            mib = std::max(1, std::atoi(argv[i] + 6));
        else if (std::strncmp(argv[i], "--runs=", 7) == 0)
            runs = std::max(1, std::atoi(argv[i] + 7));
    }
    const bench::Sandbox sandbox;
    if (!sandbox.ok()) {
        std::fprintf(stderr, "bench_reopen: cannot lay out the temporary home\n");
        return 2;
    }
    sandbox.enter();
    QApplication app(argc, argv);
    const QString path = saveHugeRun(mib * 1024 * 1024);
    if (path.isEmpty()) {
        std::fprintf(stderr, "bench_reopen: cannot write the saved run\n");
        return 2;
    }

    veldrin::Platform platform = veldrin::makeDesktopPlatform();
    auto* windows = new WatchedWindows(std::move(platform.logWindows));
    platform.logWindows.reset(windows);
    veldrin::AppDelegate delegate(std::move(platform));
    delegate.applicationDidFinishLaunching({.statusItem = false, .timers = false});
    QElapsedTimer loading;
    loading.start();
    while (delegate.history.past.isEmpty() && loading.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (delegate.history.past.isEmpty()) {
        std::fprintf(stderr, "bench_reopen: Recent Runs does not list the saved run\n");
        return 2;
    }

    // The first window of a process loads the fonts (tens of milliseconds, once, whatever
    // it shows): one is made and let go first, as a running application has done.
    windows->create(QStringLiteral("Warm-up"))->show();
    windows->last.reset();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200);

    // The main thread's longest stretch: the largest gap between ticks of a 5 ms timer.
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0, longest = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - lastTick);
        lastTick = now;
    });
    ticker.start(5);

    std::vector<double> seconds;
    bool complete = true;
    qint64 worst = 0;
    for (int run = 0; run < runs; ++run) {
        delegate.history.windows.clear(); // a window of its own each time, as after a restart
        windows->last.reset();
        QElapsedTimer t;
        t.start();
        lastTick = clock.nsecsElapsed();
        longest = 0;
        delegate.perform(veldrin::Action::openRecentRun, path);
        while (!(windows->last && windows->last->ended) && t.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        seconds.push_back(double(t.nsecsElapsed()) / 1e9);
        complete = complete && windows->last && windows->last->ended &&
                   windows->last->tail().endsWith(QStringLiteral("Finished with exit code 0.\n"));
        worst = std::max(worst, longest);
        std::printf("reopen %d: %.3f s, longest main-thread stretch %.1f ms\n", run + 1, seconds.back(),
                    double(longest) / 1e6);
    }
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    const bool fast = median < 1.0;
    const bool smooth = worst <= 50 * 1000 * 1000;
    std::printf("\n%lld MiB saved run, %d reopenings: median %.3f s (target < 1 s: %s); longest main-thread "
                "stretch %.1f ms (target <= 50 ms: %s); window ends with the closing line: %s\n",
                static_cast<long long>(mib), runs, median, fast ? "met" : "MISSED", double(worst) / 1e6,
                smooth ? "met" : "MISSED", complete ? "yes" : "NO");
    QFile::remove(path);
    return fast && smooth && complete ? 0 : 1;
}
