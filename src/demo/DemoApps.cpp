#include "demo/DemoApps.h"

#include "base/Paths.h"
#include "base/Profiles.h"
#include "exec/Spawn.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <sys/wait.h>

namespace veldrin {

DemoApps::DemoApps() {
    // Ended stand-ins (Quit All kills them) are reaped within a second.
    reaper_.setInterval(std::chrono::seconds(1));
    connect(&reaper_, &QTimer::timeout, this, &DemoApps::reapExited);
}

DemoApps::~DemoApps() {
    endAll();
}

bool DemoApps::start(QString* error) {
    for (const Profile& profile : profiles) {
        const QString name = QFileInfo(profile.appBundle).completeBaseName();
        QStringList argv{appPath(profile) + QStringLiteral("/Contents/MacOS/") + name, name};
        // One of them needs KILL, as a hung app would.
        if (&profile == &triProfile)
            argv << QStringLiteral("--ignore-term");
        int spawnError = 0;
        const pid_t pid = spawnInOwnSession(argv, &spawnError);
        if (pid < 0) {
            *error = launchErrorDescription(argv.first(), spawnError);
            return false;
        }
        running_.push_back(pid);
    }
    reaper_.start();
    // Registered once each has written its file for the simulated controller.
    const QDeadlineTimer deadline(std::chrono::seconds(5));
    for (const pid_t pid : running_) {
        const QString registration = homeFolder() + QStringLiteral("/.sim/apps/") + QString::number(pid);
        while (!QFileInfo::exists(registration)) {
            if (deadline.hasExpired()) {
                *error = QStringLiteral("the stand-in apps did not start within five seconds");
                return false;
            }
            QThread::msleep(20);
        }
    }
    return true;
}

void DemoApps::reapExited() {
    std::erase_if(running_, [](pid_t pid) {
        int status = 0;
        const pid_t reaped = waitpid(pid, &status, WNOHANG);
        return reaped == pid || (reaped < 0 && errno == ECHILD);
    });
}

void DemoApps::endAll() {
    reaper_.stop();
    // Unreaped, each is still ours: its id cannot have passed to another process.
    for (const pid_t pid : running_) {
        ::kill(-pid, SIGKILL); // its session's group: the stand-in and its pause
        ::kill(pid, SIGKILL);
        waitForExit(pid);
    }
    running_.clear();
}

} // namespace veldrin
