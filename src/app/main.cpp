// Veldrin: a status-bar utility around the ~/bin/veldrin controller.
//
//   veldrin               the application, against the real ~/bin/veldrin
//   veldrin --demo        the application inside a throw-away sandbox with a
//                         simulated controller
//   veldrin --print-menu  launch without status item and timers, print the
//                         menu as one opening would show it, and exit
//   veldrin --menu        open the status menu, of the Veldrin running for this
//                         home folder or of a new one
//   veldrin --check       say what this desktop offers Veldrin and what it lacks
//   veldrin --autostart on|off
//                         start at login from now on, or no longer
//   veldrin --version     print the version label

#include "app/AppDelegate.h"
#include "app/DesktopPlatform.h"
#include "autostart/Autostart.h"
#include "base/Paths.h"
#include "cli/CommandLine.h"
#include "cli/DesktopCheck.h"
#include "cli/DisplayProbe.h"
#include "cli/QuitSignals.h"
#include "demo/Demo.h"
#include "demo/DemoApps.h"
#include "instance/MenuRequests.h"
#include "instance/SingleInstance.h"
#include "menu/MenuText.h"
#include "platform/DesktopServices.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

// The menu one opening would show, kept for printing.
class PrintedMenu : public veldrin::StatusMenu {
public:
    void setEntries(const std::vector<veldrin::MenuEntry>& shown) override { entries = shown; }
    std::vector<veldrin::MenuEntry> entries;
};

// Exists for start-up measurements (bench/bench_startup.cpp): when
// VELDRIN_SHOWN_FD names a descriptor, "shown" is written there once the status
// item is up and the event loop has made its first turn.
void reportShownWhenAsked() {
    bool isNumber = false;
    const int fd = qEnvironmentVariableIntValue("VELDRIN_SHOWN_FD", &isNumber);
    if (!isNumber || fd <= STDERR_FILENO)
        return;
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    QTimer::singleShot(0, [fd] {
        [[maybe_unused]] const ssize_t written = write(fd, "shown\n", 6);
        close(fd);
    });
}

} // namespace

int main(int argc, char** argv) {
    // Exit statuses come from reaping our own children; a parent that left
    // SIGCHLD ignored would have the system reap them and lose the statuses.
    std::signal(SIGCHLD, SIG_DFL);
    const veldrin::CommandLine options = veldrin::parseCommandLine(argc, argv);
    if (options.exitStatus)
        return *options.exitStatus;
    // Refused rather than misread: every path Veldrin reads or writes starts here.
    if (const std::optional<QString> problem = veldrin::unusableEnvironment()) {
        veldrin::writeUtf8(stderr, QStringLiteral("veldrin: ") + *problem + QLatin1Char('\n'));
        return 1;
    }
    if (options.autostart)
        return veldrin::runAutostart(*options.autostart, argv[0]);
    if (options.check)
        return veldrin::runDesktopCheck(argc, argv);
    // Printing the menu needs no display.
    if (options.printMenu && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (const std::optional<QString> why = veldrin::prepareDisplay()) {
        veldrin::writeUtf8(stderr, QStringLiteral("veldrin: no display to show the status icon on (") + *why +
                                       QStringLiteral(")\n"));
        return 1;
    }

    veldrin::InstanceLock instance;
    if (!options.demo && !options.printMenu) {
        QString problem;
        switch (instance.acquire(&problem)) {
        case veldrin::InstanceLock::Outcome::acquired:
            break;
        case veldrin::InstanceLock::Outcome::heldByAnother: {
            // Started again from a launcher or a shortcut: the running one opens its menu.
            QString why;
            if (veldrin::askToOpenMenu(&why)) {
                veldrin::writeUtf8(stderr, QStringLiteral("veldrin: Veldrin is already running for ") +
                                               veldrin::homeFolder() +
                                               QStringLiteral("; its menu is open\n"));
                return 0;
            }
            veldrin::writeUtf8(
                stderr,
                QStringLiteral("veldrin: Veldrin is already running for ") + veldrin::homeFolder() +
                    QStringLiteral("; use its icon in the status bar, or quit it from its menu first\n"));
            return 1;
        }
        case veldrin::InstanceLock::Outcome::unusable:
            veldrin::writeUtf8(stderr,
                               QStringLiteral("veldrin: ") + problem +
                                   QStringLiteral("; without it Veldrin cannot tell whether it already runs, "
                                                  "so it does not start\n"));
            return 1;
        }
    }

    std::optional<veldrin::DemoSandbox> sandbox;
    if (options.demo) {
        QString error;
        sandbox = veldrin::prepareDemoSandbox(&error);
        if (!sandbox) {
            veldrin::writeUtf8(stderr, QStringLiteral("veldrin: could not prepare the demo sandbox: ") +
                                           error + '\n');
            return 1;
        }
        veldrin::enterDemoSandbox(*sandbox);
        veldrin::writeUtf8(stderr, QStringLiteral("Veldrin demo: sandbox in ") + sandbox->root +
                                       QStringLiteral(" (removed when Veldrin quits)\n"));
    }
    const std::unique_ptr<QApplication> app = veldrin::startApplication(argc, argv);
    veldrin::keepQtFromAutolaunchingABus();
    QApplication::setApplicationName(QStringLiteral("Veldrin"));
    QApplication::setOrganizationName(QStringLiteral("Veldrin"));
    QApplication::setApplicationVersion(QStringLiteral(VELDRIN_VERSION));
    // An accessory: no main window, and closing the last log window is not quitting.
    QApplication::setQuitOnLastWindowClosed(false);
    veldrin::quitOnTerminationSignals();
    veldrin::DemoApps demoApps;
    if (sandbox) {
        QString error;
        if (!demoApps.start(&error))
            veldrin::writeUtf8(stderr, QStringLiteral("veldrin: the demo's stand-in apps: ") + error +
                                           QLatin1Char('\n'));
    }

    int status = 0;
    {
        veldrin::AppDelegate delegate(veldrin::makeDesktopPlatform());
        // A later `veldrin` for this home folder opens this one's menu; it may
        // ask as soon as the lock is taken, so this listens before the launch.
        std::optional<veldrin::MenuRequests> requests;
        if (!sandbox && !options.printMenu)
            requests.emplace([&delegate](const QByteArray& activationToken) {
                // Lets the menu's window take the focus the launcher gave the asker (Wayland).
                if (!activationToken.isEmpty() && QGuiApplication::platformName() == QLatin1String("wayland"))
                    qputenv("XDG_ACTIVATION_TOKEN", activationToken);
                delegate.openStatusMenu();
            });
        // The demo's controller lives in its sandbox, which goes when it quits.
        delegate.limits.runsOutliveVeldrin = !sandbox;
        if (options.printMenu) {
            delegate.applicationDidFinishLaunching({.statusItem = false, .timers = false});
            PrintedMenu menu;
            delegate.openMenuAfterLaunch(menu);
            veldrin::writeUtf8(stdout, veldrin::menuText(menu.entries));
        } else {
            delegate.applicationDidFinishLaunching({});
            reportShownWhenAsked();
            if (options.menu)
                QTimer::singleShot(0, &delegate, [&delegate] { delegate.openStatusMenu(); });
            status = QApplication::exec();
        }
        delegate.applicationWillTerminate();
    }
    if (sandbox) {
        demoApps.endAll();
        veldrin::removeDemoSandbox(*sandbox);
    }
    return status;
}
