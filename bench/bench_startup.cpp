// How long Veldrin takes from exec to its status item shown, against the
// least a Qt tray program does (minimal_tray), both offscreen, measured in one
// run with the two interleaved (the order alternates) so that a slow spell of
// the machine hits them alike.
//
// Veldrin is launched plainly, as a user's would be, in a throw-away home
// whose ~/bin/veldrin is a stand-in controller and whose system root holds a
// stand-in pmset (see TrayBench.h); HOME, VELDRIN_SYSTEM_ROOT and the XDG
// folders all point into it. The runs share that home one after another:
// each program is terminated and reaped before the next starts, so Veldrin's
// single-instance lock is free again.
//
// Both programs write "shown" to the descriptor VELDRIN_SHOWN_FD names once
// their icon is up and the event loop has made its first turn; a run's time
// is from just before posix_spawn to the read of that report. Then the
// program gets SIGTERM (to its own pid) and is reaped.
//
// Usage: bench_startup [--runs=N] [--veldrin=PATH] [--minimal=PATH]   (default 30)
// Prints medians and the ratio against its target; exit status 1 when it is missed.

#include "TrayBench.h"

#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <vector>

int main(int argc, char** argv) {
    int runs = 30;
    std::string veldrin = BENCH_VELDRIN;
    std::string minimal = BENCH_MINIMAL_TRAY;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--runs=", 7) == 0)
            runs = std::max(5, std::atoi(argv[i] + 7));
        else if (std::strncmp(argv[i], "--veldrin=", 10) == 0)
            veldrin = argv[i] + 10;
        else if (std::strncmp(argv[i], "--minimal=", 10) == 0)
            minimal = argv[i] + 10;
    }
    const bench::Sandbox sandbox;
    if (!sandbox.ok()) {
        std::fprintf(stderr, "bench_startup: cannot lay out the temporary home\n");
        return 2;
    }
    const std::vector<std::string> environment = bench::environmentWith(sandbox.variables());
    const QString log = sandbox.path(QStringLiteral("startup.log"));

    int cleanExits = 0;
    // One launch; false when the program did not report its icon shown.
    const auto once = [&](const std::string& program, std::vector<double>& into) {
        const bench::LaunchedTray tray =
            bench::launchUntilShown({program}, environment, log.toStdString(), std::chrono::seconds(30));
        const int status = tray.pid > 1 ? bench::terminateAndReap(tray.pid) : -1;
        if (program == veldrin && WIFEXITED(status) && WEXITSTATUS(status) == 0)
            ++cleanExits;
        if (tray.shown)
            into.push_back(tray.msToShown);
        return tray.shown;
    };

    std::vector<double> veldrinTimes, minimalTimes;
    const int warmUp = 3; // dropped: the first runs fill the caches and write the settings
    for (int i = -warmUp; i < runs; ++i) {
        std::vector<double> v, m;
        const bool ok = ((i + warmUp) % 2 == 0) ? once(minimal, m) && once(veldrin, v)
                                                : once(veldrin, v) && once(minimal, m);
        if (!ok) {
            QFile output(log);
            output.open(QIODevice::ReadOnly);
            std::fprintf(stderr, "bench_startup: a program did not report its icon shown; its output:\n%s\n",
                         output.readAll().right(4000).constData());
            return 2;
        }
        if (i < 0)
            continue;
        veldrinTimes.push_back(v[0]);
        minimalTimes.push_back(m[0]);
    }

    const double base = bench::median(minimalTimes);
    const double ratio = bench::median(veldrinTimes) / base;
    const bool met = ratio <= 1.5;
    std::printf("%d runs each, interleaved; milliseconds from posix_spawn to the \"shown\" report\n", runs);
    std::printf("veldrin exited with status 0 on SIGTERM in %d of %d runs; over them the stand-in controller "
                "was asked for app-processes %ld times, cloud status %ld times\n\n",
                cleanExits, runs + warmUp, sandbox.countCalls(QStringLiteral("app-processes")),
                sandbox.countCalls(QStringLiteral("cloud status")));
    std::printf("%-36s %9s %9s %7s %8s  %s\n", "", "median", "p90", "ratio", "target", "verdict");
    std::printf("%-36s %9.1f %9.1f %7s %8s\n", "minimal Qt tray (minimal_tray)", base,
                bench::percentile90(minimalTimes), "1.00", "");
    std::printf("%-36s %9.1f %9.1f %7.2f %8s  %s\n", "veldrin, plain launch", bench::median(veldrinTimes),
                bench::percentile90(veldrinTimes), ratio, "<= 1.50", met ? "met" : "MISSED");
    return met ? 0 : 1;
}
