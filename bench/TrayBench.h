#pragma once

// What bench_idle and bench_startup share: a throw-away home with a stand-in
// controller and pmset, starting a tray program until it reports that its
// status item is shown, and reading memory figures from /proc.

#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace bench {

// A temporary home laid out as the demo's (layOutSandbox), where a leaner
// ~/bin/veldrin answers app-processes (no app running), cloud status and
// claude sync, and $VELDRIN_SYSTEM_ROOT/usr/bin/pmset answers -g with the lid
// setting off.
// Each call appends one line to ~/calls.log (the controller) or
// ~/pmset.log, so a reader can count what ran.
class Sandbox {
public:
    Sandbox();
    bool ok() const { return ok_; }
    QString home() const { return dir_.filePath(QStringLiteral("home")); }
    QString systemRoot() const { return dir_.filePath(QStringLiteral("root")); }
    QString path(const QString& relative) const { return dir_.filePath(relative); }
    // HOME, VELDRIN_SYSTEM_ROOT, the XDG folders and QT_QPA_PLATFORM=offscreen.
    std::vector<std::pair<std::string, std::string>> variables() const;
    // Puts variables() into this process's environment.
    void enter() const;
    // Lines in ~/calls.log that are exactly `arguments` (joined by spaces),
    // or every line of ~/pmset.log when `arguments` is "pmset".
    long countCalls(const QString& arguments) const;

private:
    QTemporaryDir dir_;
    bool ok_ = false;
};

// The environment of this process with `overrides` put in place.
std::vector<std::string> environmentWith(const std::vector<std::pair<std::string, std::string>>& overrides);

struct LaunchedTray {
    pid_t pid = -1;
    bool shown = false;
    // From just before posix_spawn to the read of the "shown" report.
    double msToShown = 0;
};

// Starts `argv` with `environment` plus VELDRIN_SHOWN_FD naming the write end
// of a pipe, its standard output and error appended to `logPath`, and waits up
// to `timeout` for the program to write "shown" there.
LaunchedTray launchUntilShown(const std::vector<std::string>& argv, std::vector<std::string> environment,
                              const std::string& logPath, std::chrono::milliseconds timeout);

// SIGTERM to exactly `pid` (never to a group or to pid <= 1), then reaps it;
// SIGKILL to it when it has not exited within `grace`. Answers the wait status.
int terminateAndReap(pid_t pid, std::chrono::milliseconds grace = std::chrono::seconds(10));

// VmRSS of /proc/<process>/status in kB ("self" for this one); -1 when unreadable.
long residentKb(const std::string& process);
// Private_Clean + Private_Dirty of this process in kB, two ways:
struct PrivateMemory {
    // as /proc/self/smaps_rollup sums them
    long rollup = -1;
    // the same from /proc/self/smaps, without the clean pages of mapped files:
    // a shared library's pages count as private only while no other process
    // maps that library, so they come and go with whatever else is running
    long own = -1;
};
PrivateMemory privateMemory();

double median(std::vector<double> values);
double percentile90(std::vector<double> values);

} // namespace bench
