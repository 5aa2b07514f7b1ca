// What a controller query and a menu opening cost against a bare spawn of
// the same stand-in controller, measured in one run with the three kinds
// interleaved so that a slow spell of the machine hits them alike:
//
//   bare   posix_spawn + read to end of file + waitpid, nothing else
//   shell  shell() with the app-processes limits (time bound, output cap,
//          exit watched on a pidfd)
//   menu   one menu opening: the app-processes query (the main thread
//          waits for it, as an opening does), the three Info.plist
//          reads, the menu model and the fill of a real QMenu (offscreen),
//          with Recent Runs listing ten saved runs
//
// Usage: bench_queries [--runs=N]   (default 400)
// Prints medians and the ratios against their targets; exit status 1 when a
// target is missed.

#include "TrayBench.h"
#include "app/AppDelegate.h"
#include "app/DesktopPlatform.h"
#include "exec/ControllerCommands.h"
#include "gui/QtMenu.h"
#include "history/RunHistory.h"
#include "platform/System.h"
#include "plist/PlistWriter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Ten finished runs in the history folder, as a day of use leaves them.
void saveTenRuns() {
    veldrin::HistoryWriter writer(veldrin::runHistoryFolder(), {});
    const auto now =
        std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now());
    for (int i = 0; i < 10; ++i) {
        const auto record = writer.begin(QStringLiteral("Veldrin Audit"), now - std::chrono::minutes(10 - i));
        record->append(QStringLiteral("Auditing…\n\nFinished with exit code %1.\n").arg(i % 3));
        record->finish(veldrin::controllerOutcome(i % 3, false, std::chrono::seconds(4)));
    }
    writer.flush();
}

// The least a caller can do to run a program and read its answer.
void bareSpawn(const char* path) {
    int fds[2];
    if (pipe(fds) != 0)
        std::abort();
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    fcntl(fds[1], F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, fds[1], 1);
    posix_spawn_file_actions_adddup2(&files, fds[1], 2);
    char arg[] = "app-processes";
    char* argv[] = {const_cast<char*>(path), arg, nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, path, &files, nullptr, argv, environ) != 0)
        std::abort();
    posix_spawn_file_actions_destroy(&files);
    close(fds[1]);
    char buffer[65536];
    while (read(fds[0], buffer, sizeof buffer) > 0) {
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
}

} // namespace

int main(int argc, char** argv) {
    int runs = 400;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--runs=", 7) == 0)
            runs = std::max(10, std::atoi(argv[i] + 7));
    }
    const bench::Sandbox sandbox; // the stand-in controller answers app-processes with nobody running
    if (!sandbox.ok()) {
        std::fprintf(stderr, "bench_queries: cannot lay out the temporary home\n");
        return 2;
    }
    sandbox.enter();
    QApplication app(argc, argv);

    const QString home = sandbox.home();
    const QString controller = home + "/bin/veldrin";

    saveTenRuns();
    veldrin::AppDelegate delegate(veldrin::makeDesktopPlatform());
    delegate.applicationDidFinishLaunching({.statusItem = false, .timers = false});
    QElapsedTimer loading;
    loading.start();
    while (delegate.history.past.size() < 10 && loading.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (delegate.history.past.size() < 10) {
        std::fprintf(stderr, "bench_queries: Recent Runs lists %d runs, not 10\n",
                     int(delegate.history.past.size()));
        return 2;
    }
    QMenu qmenu;
    veldrin::QtStatusMenu menu(&qmenu, [](veldrin::Action, const QVariant&) {});
    // The apps' Info.plist files were written a moment ago; an installed app's
    // are older than a second, the age at which a reading is remembered.
    QThread::msleep(1100);
    const QByteArray path = controller.toLocal8Bit();
    const QStringList argvList{controller, "app-processes"};

    std::vector<double> bare, shell, opening, rebuild;
    const auto time = [](std::vector<double>& into, const auto& work) {
        QElapsedTimer t;
        t.start();
        work();
        into.push_back(double(t.nsecsElapsed()) / 1000.0);
    };
    for (int i = -20; i < runs; ++i) { // the first twenty warm up and are dropped
        std::vector<double> b, s, m, r;
        const auto doBare = [&] { time(b, [&] { bareSpawn(path.constData()); }); };
        const auto doShell = [&] {
            time(s, [&] { veldrin::shell(argvList, veldrin::controllerArgs::quickQuery); });
        };
        const auto doMenu = [&] {
            time(m, [&] { delegate.menuWillOpen(menu); });
            time(r, [&] { delegate.rebuildMenu(menu); });
        };
        // Rotate the order so that none always runs right after another.
        switch (i % 3 < 0 ? 0 : i % 3) {
        case 0:
            doBare();
            doShell();
            doMenu();
            break;
        case 1:
            doShell();
            doMenu();
            doBare();
            break;
        default:
            doMenu();
            doBare();
            doShell();
            break;
        }
        QCoreApplication::processEvents();
        if (i < 0)
            continue;
        bare.push_back(b[0]);
        shell.push_back(s[0]);
        opening.push_back(m[0]);
        rebuild.push_back(r[0]);
    }

    const double base = bench::median(bare);
    const double shellRatio = bench::median(shell) / base;
    const double menuRatio = bench::median(opening) / base;
    const bool shellOk = shellRatio <= 1.1;
    const bool menuOk = menuRatio <= 1.3;
    std::printf("%d runs each, interleaved; times in microseconds\n\n", runs);
    std::printf("%-44s %10s %10s %8s %8s  %s\n", "", "median", "p90", "ratio", "target", "verdict");
    std::printf("%-44s %10.0f %10.0f %8s %8s\n", "bare spawn + read + waitpid", base,
                bench::percentile90(bare), "1.00", "");
    std::printf("%-44s %10.0f %10.0f %8.2f %8s  %s\n", "shell (app-processes limits)", bench::median(shell),
                bench::percentile90(shell), shellRatio, "<= 1.10", shellOk ? "met" : "MISSED");
    std::printf("%-44s %10.0f %10.0f %8.2f %8s  %s\n", "menu opening (query, 3 Info.plist, QMenu fill)",
                bench::median(opening), bench::percentile90(opening), menuRatio, "<= 1.30",
                menuOk ? "met" : "MISSED");
    std::printf("%-44s %10.0f %10.0f\n", "  of which the menu without the query", bench::median(rebuild),
                bench::percentile90(rebuild));
    return shellOk && menuOk ? 0 : 1;
}
