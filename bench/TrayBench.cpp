#include "TrayBench.h"

#include "demo/Demo.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace bench {

namespace {

// Answers as the bundled simulator does (sim/veldrin), with shell built-ins
// only, so that the controller's own cost stays small beside Veldrin's.
constexpr const char* controllerStandIn = R"sh(#!/bin/sh
printf '%s\n' "$*" >>"$HOME/calls.log"
case "$*" in
app-processes) ;;
"cloud status")
    printf '%s\n' '{
  "device": {"name": "Bench Mac", "platform": "simulated"},
  "profiles": [
    {"profile": "pri", "name": "Bench Mac", "upload_enabled": true, "download_enabled": true, "offered_projects": 2, "offered_chats": 4},
    {"profile": "alt", "name": "Bench Mac", "upload_enabled": true, "download_enabled": false, "offered_projects": 1, "offered_chats": 1},
    {"profile": "tri", "name": "Bench Mac", "upload_enabled": false, "download_enabled": false, "offered_projects": 0, "offered_chats": 0}
  ],
  "transferSummary": {"pending": 1, "available": 2, "downloading": 0, "applied": 14, "error": 0}
}'
    ;;
"claude sync")
    printf 'Claude Code sync: reading Codex sessions\nTranscripts written: 3\n'
    ;;
*)
    printf 'veldrin: unknown command: %s\n' "$*" >&2
    exit 2
    ;;
esac
exit 0
)sh";

constexpr const char* pmsetStandIn = R"sh(#!/bin/sh
printf '%s\n' "$*" >>"$HOME/pmset.log"
[ "$*" = -g ] || exit 1
printf 'System-wide power settings:\n SleepDisabled\t\t0\nCurrently in use:\n'
printf ' standby              1\n hibernatemode        3\n sleep                1\n displaysleep         10\n'
exit 0
)sh";

bool writeExecutable(const QString& path, const char* content) {
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) < 0)
        return false;
    file.close();
    return file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

long fieldKb(const char* path, const std::vector<std::string>& names) {
    FILE* file = std::fopen(path, "re");
    if (!file)
        return -1;
    long total = -1;
    char line[256];
    while (std::fgets(line, sizeof line, file)) {
        for (const std::string& name : names) {
            if (std::strncmp(line, name.c_str(), name.size()) == 0 && line[name.size()] == ':')
                total = std::max(total, 0L) + std::atol(line + name.size() + 1);
        }
    }
    std::fclose(file);
    return total;
}

} // namespace

Sandbox::Sandbox() {
    // The demo's layout, with a leaner controller and pmset of its own.
    QString error;
    ok_ = dir_.isValid() && veldrin::layOutSandbox(home(), systemRoot(), &error) &&
          writeExecutable(home() + QStringLiteral("/bin/veldrin"), controllerStandIn) &&
          writeExecutable(systemRoot() + QStringLiteral("/usr/bin/pmset"), pmsetStandIn);
    for (const auto& [name, value] : variables()) {
        if (name.starts_with("XDG_"))
            ok_ = ok_ && QDir().mkpath(QString::fromStdString(value));
    }
    // Qt wants the runtime folder private to its owner.
    QFile::setPermissions(path(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

std::vector<std::pair<std::string, std::string>> Sandbox::variables() const {
    const auto at = [this](const char* relative) { return path(QLatin1String(relative)).toStdString(); };
    return {{"HOME", home().toStdString()},
            {"VELDRIN_SYSTEM_ROOT", systemRoot().toStdString()},
            {"XDG_CONFIG_HOME", at("home/.config")},
            {"XDG_CACHE_HOME", at("home/.cache")},
            {"XDG_DATA_HOME", at("home/.local/share")},
            {"XDG_STATE_HOME", at("home/.local/state")},
            {"XDG_RUNTIME_DIR", at("runtime")},
            {"QT_QPA_PLATFORM", "offscreen"}};
}

void Sandbox::enter() const {
    for (const auto& [name, value] : variables())
        setenv(name.c_str(), value.c_str(), 1);
}

long Sandbox::countCalls(const QString& arguments) const {
    const bool pmset = arguments == QLatin1String("pmset");
    QFile log(home() + (pmset ? QStringLiteral("/pmset.log") : QStringLiteral("/calls.log")));
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray wanted = arguments.toUtf8();
    long count = 0;
    for (const QByteArray& line : log.readAll().split('\n'))
        count += !line.isEmpty() && (pmset || line == wanted);
    return count;
}

std::vector<std::string> environmentWith(const std::vector<std::pair<std::string, std::string>>& overrides) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        if (std::none_of(overrides.begin(), overrides.end(), [&](const auto& o) { return o.first == name; }))
            result.push_back(text);
    }
    for (const auto& [name, value] : overrides)
        result.push_back(name + "=" + value);
    return result;
}

LaunchedTray launchUntilShown(const std::vector<std::string>& argv, std::vector<std::string> environment,
                              const std::string& logPath, std::chrono::milliseconds timeout) {
    LaunchedTray launched;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return launched;
    // The child inherits the write end, and only that one.
    fcntl(fds[1], F_SETFD, 0);
    environment.push_back("VELDRIN_SHOWN_FD=" + std::to_string(fds[1]));
    std::vector<char*> args, env;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (std::string& e : environment)
        env.push_back(e.data());
    env.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    posix_spawn_file_actions_adddup2(&files, STDOUT_FILENO, STDERR_FILENO);

    const auto start = std::chrono::steady_clock::now();
    const int rc = posix_spawn(&launched.pid, args[0], &files, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&files);
    close(fds[1]);
    if (rc != 0) {
        launched.pid = -1;
        close(fds[0]);
        return launched;
    }
    std::string report;
    const auto deadline = start + timeout;
    while (report.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd pfd{fds[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buffer[64];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        report.append(buffer, static_cast<size_t>(n));
    }
    const auto end = std::chrono::steady_clock::now();
    close(fds[0]);
    launched.shown = report == "shown\n";
    launched.msToShown = std::chrono::duration<double, std::milli>(end - start).count();
    return launched;
}

int terminateAndReap(pid_t pid, std::chrono::milliseconds grace) {
    if (pid <= 1)
        return -1;
    kill(pid, SIGTERM);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (true) {
        const pid_t reaped = waitpid(pid, &status, WNOHANG);
        if (reaped == pid || (reaped < 0 && errno != EINTR))
            return status;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

long residentKb(const std::string& process) {
    return fieldKb(("/proc/" + process + "/status").c_str(), {"VmRSS"});
}

PrivateMemory privateMemory() {
    PrivateMemory memory;
    memory.rollup = fieldKb("/proc/self/smaps_rollup", {"Private_Clean", "Private_Dirty"});
    FILE* file = std::fopen("/proc/self/smaps", "re");
    if (!file)
        return memory;
    memory.own = 0;
    bool fileBacked = false;
    char line[4096];
    while (std::fgets(line, sizeof line, file)) {
        // A mapping's first line starts with its address in lower-case hex
        // and ends, for a mapped file, with its absolute path; the lines of
        // figures after it start with a capitalised name.
        if (std::isdigit(static_cast<unsigned char>(line[0])) || (line[0] >= 'a' && line[0] <= 'f')) {
            fileBacked = std::strchr(line, '/') != nullptr;
            continue;
        }
        char name[64] = "";
        long kb = 0;
        if (std::sscanf(line, "%63[A-Za-z_]: %ld kB", name, &kb) == 2 &&
            (std::strcmp(name, "Private_Dirty") == 0 ||
             (std::strcmp(name, "Private_Clean") == 0 && !fileBacked)))
            memory.own += kb;
    }
    std::fclose(file);
    return memory;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double percentile90(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() * 9 / 10];
}

} // namespace bench
