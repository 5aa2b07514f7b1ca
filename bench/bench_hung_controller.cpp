// How long Veldrin is held up by a controller that never answers, the wall
// time its tests leave out (they check what it says and that it ends):
//
//   print-menu  veldrin --print-menu, from posix_spawn to its exit; it waits
//               for the app-processes query as an opening does, then gives up
//   term        a running veldrin, from SIGTERM to its exit, while the query
//               it started at launch hangs
//
// Both in a throw-away home (see TrayBench.h) whose ~/bin/veldrin sleeps for a
// minute on every call but cloud status.
//
// Usage: bench_hung_controller [--runs=N] [--veldrin=PATH]   (default 5)
// Prints medians against their bounds; exit status 1 when one is missed.

#include "TrayBench.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

const char* hungController = "#!/bin/sh\n[ \"$1\" = cloud ] && exit 1\nexec sleep 60\n";

// Waits for `pid` to exit, up to 20 s, then kills it; answers the milliseconds taken, or -1.
double reap(pid_t pid, const QElapsedTimer& since) {
    int status = 0;
    while (since.elapsed() < 20000) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return double(since.nsecsElapsed()) / 1e6;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

double printMenu(const std::string& veldrin, const std::vector<std::string>& environment,
                 const std::string& log) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> argv{const_cast<char*>(veldrin.c_str()), const_cast<char*>("--print-menu"), nullptr};
    std::vector<char*> envp;
    for (const std::string& variable : environment)
        envp.push_back(const_cast<char*>(variable.c_str()));
    envp.push_back(nullptr);
    QElapsedTimer since;
    since.start();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, veldrin.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? reap(pid, since) : -1;
}

double term(const std::string& veldrin, const std::vector<std::string>& environment, const std::string& log) {
    const bench::LaunchedTray tray =
        bench::launchUntilShown({veldrin}, environment, log, std::chrono::seconds(30));
    if (tray.pid <= 1)
        return -1;
    if (!tray.shown) {
        bench::terminateAndReap(tray.pid);
        return -1;
    }
    QElapsedTimer since;
    since.start();
    kill(tray.pid, SIGTERM);
    return reap(tray.pid, since);
}

} // namespace

int main(int argc, char** argv) {
    int runs = 5;
    std::string veldrin = BENCH_VELDRIN;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--runs=", 7) == 0)
            runs = std::max(1, std::atoi(argv[i] + 7));
        else if (std::strncmp(argv[i], "--veldrin=", 10) == 0)
            veldrin = argv[i] + 10;
    }
    const bench::Sandbox sandbox;
    QFile controller(sandbox.home() + QStringLiteral("/bin/veldrin"));
    if (!sandbox.ok() || !controller.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        controller.write(hungController) < 0) {
        std::fprintf(stderr, "bench_hung_controller: cannot lay out the temporary home\n");
        return 2;
    }
    controller.close();
    const std::vector<std::string> environment = bench::environmentWith(sandbox.variables());
    const std::string log = sandbox.path(QStringLiteral("hung.log")).toStdString();

    std::vector<double> menuTimes, termTimes;
    for (int i = 0; i < runs; ++i) {
        const double menu = printMenu(veldrin, environment, log);
        const double quit = term(veldrin, environment, log);
        if (menu < 0 || quit < 0) {
            std::fprintf(stderr, "bench_hung_controller: a run did not end by itself; see %s\n", log.c_str());
            return 2;
        }
        menuTimes.push_back(menu);
        termTimes.push_back(quit);
    }
    const double menu = bench::median(menuTimes);
    const double quit = bench::median(termTimes);
    const bool met = menu <= 2500 && quit <= 2000;
    std::printf("%d runs; milliseconds, against a controller that never answers\n\n", runs);
    std::printf("%-34s %9s %9s %8s  %s\n", "", "median", "p90", "bound", "verdict");
    std::printf("%-34s %9.1f %9.1f %8s  %s\n", "--print-menu, spawn to exit", menu,
                bench::percentile90(menuTimes), "<= 2500", menu <= 2500 ? "met" : "MISSED");
    std::printf("%-34s %9.1f %9.1f %8s  %s\n", "running instance, TERM to exit", quit,
                bench::percentile90(termTimes), "<= 2000", quit <= 2000 ? "met" : "MISSED");
    return met ? 0 : 1;
}
