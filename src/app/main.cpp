// Veldrin: a status-bar utility around the ~/bin/veldrin controller.
//
//   veldrin               the application, against the real ~/bin/veldrin
//   veldrin --demo        the application inside a throw-away sandbox with a
//                         simulated controller
//   veldrin --print-menu  launch without status item and timers, print the
//                         menu as one opening would show it, and exit
//   veldrin --autostart on|off
//                         start at login from now on, or no longer
//   veldrin --version     print the version label

#include "app/AppDelegate.h"
#include "app/Autostart.h"
#include "app/Demo.h"
#include "app/DemoApps.h"
#include "app/DesktopPlatform.h"
#include "app/QuitSignals.h"
#include "app/SingleInstance.h"
#include "base/Paths.h"
#include "menu/MenuBuilder.h"
#include "menu/MenuText.h"
#include "platform/qt/CoreServices.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <unistd.h>
#include <vector>

#if defined(__APPLE__)
#include <climits>
#include <mach-o/dyld.h>
#endif

namespace {

struct Options {
    bool demo = false;
    bool printMenu = false;
    std::optional<bool> autostart;
};

void printUsage(FILE* out) {
    std::fputs("usage: veldrin [--demo] [--print-menu] | --autostart on|off | --version\n"
               "  --demo            run inside a throw-away sandbox against the simulated controller\n"
               "  --print-menu      print the status menu as it would open now, then exit\n"
               "  --autostart on    start Veldrin at login from now on (off: no longer), then exit\n"
               "  --version         print the version and build, then exit\n",
               out);
}

void writeUtf8(FILE* out, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), out);
    std::fflush(out);
}

void printVersion() {
    const std::unique_ptr<veldrin::BundleInfo> info = veldrin::makeBundleInfo();
    writeUtf8(stdout,
              veldrin::composeVersionLabel(info->infoValue(QStringLiteral("CFBundleShortVersionString")),
                                           info->infoValue(QStringLiteral("CFBundleVersion"))) +
                  QLatin1Char('\n'));
}

std::optional<Options> parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--demo") == 0) {
            options.demo = true;
        } else if (std::strcmp(argv[i], "--print-menu") == 0) {
            options.printMenu = true;
        } else if (std::strcmp(argv[i], "--autostart") == 0 && i + 1 < argc &&
                   (std::strcmp(argv[i + 1], "on") == 0 || std::strcmp(argv[i + 1], "off") == 0)) {
            options.autostart = std::strcmp(argv[++i], "on") == 0;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printUsage(stdout);
            std::exit(0);
        } else if (std::strcmp(argv[i], "--version") == 0) {
            printVersion();
            std::exit(0);
        } else {
            std::fprintf(stderr, "veldrin: unknown option %s\n", argv[i]);
            printUsage(stderr);
            return std::nullopt;
        }
    }
    return options;
}

// This program's own file, with links resolved; argv[0] where the system
// cannot say.
QByteArray executableFile(const char* argv0) {
#if defined(__APPLE__)
    // dyld(3): a buffer too small answers -1 and the size needed; the path
    // "may be a symbolic link and not the real file".
    uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    QByteArray path(qsizetype(size), '\0');
    char resolved[PATH_MAX];
    if (size > 0 && _NSGetExecutablePath(path.data(), &size) == 0 && realpath(path.constData(), resolved))
        return QByteArray(resolved);
#else
    QByteArray path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), size_t(path.size()));
    if (length > 0)
        return path.left(length);
#endif
    return QFile::encodeName(QFileInfo(QFile::decodeName(argv0)).absoluteFilePath());
}

// The program as it is installed: what started this one. Its path goes into
// the login entry, so it must name this very file.
std::optional<QString> installedProgram(const char* argv0, QString* problem) {
    const QByteArray path = executableFile(argv0);
    if (!veldrin::isFaithfulFileName(path)) {
        *problem = QStringLiteral("the path of this program is not valid UTF-8 (") + QString::fromUtf8(path) +
                   QStringLiteral("); a login entry could not start it");
        return std::nullopt;
    }
    return QFile::decodeName(path);
}

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
    const std::optional<Options> options = parseOptions(argc, argv);
    if (!options)
        return 2;
    // Refused rather than misread: every path Veldrin reads or writes starts here.
    if (const std::optional<QString> problem = veldrin::unusableEnvironment()) {
        writeUtf8(stderr, QStringLiteral("veldrin: ") + *problem + QLatin1Char('\n'));
        return 1;
    }
    if (options->autostart) {
        QString problem;
        const std::optional<QString> program = installedProgram(argv[0], &problem);
        const std::optional<QString> error =
            program ? veldrin::setAutostart(*options->autostart, *program) : std::optional(problem);
        if (error) {
            writeUtf8(stderr, QStringLiteral("veldrin: ") + *error + QLatin1Char('\n'));
            return 1;
        }
        writeUtf8(stdout, *options->autostart ? QStringLiteral("Veldrin will start at login: ") +
                                                    veldrin::autostartEntryPath() + QLatin1Char('\n')
                                              : QStringLiteral("Veldrin will no longer start at login.\n"));
        return 0;
    }

    veldrin::InstanceLock instance;
    if (!options->demo && !options->printMenu) {
        QString problem;
        switch (instance.acquire(&problem)) {
        case veldrin::InstanceLock::Outcome::acquired:
            break;
        case veldrin::InstanceLock::Outcome::heldByAnother:
            writeUtf8(
                stderr,
                QStringLiteral("veldrin: Veldrin is already running for ") + veldrin::homeFolder() +
                    QStringLiteral("; use its icon in the status bar, or quit it from its menu first\n"));
            return 1;
        case veldrin::InstanceLock::Outcome::unusable:
            writeUtf8(stderr, QStringLiteral("veldrin: ") + problem +
                                  QStringLiteral("; without it Veldrin cannot tell whether it already runs, "
                                                 "so it does not start\n"));
            return 1;
        }
    }

    std::optional<veldrin::DemoSandbox> sandbox;
    if (options->demo) {
        QString error;
        sandbox = veldrin::prepareDemoSandbox(&error);
        if (!sandbox) {
            writeUtf8(stderr, QStringLiteral("veldrin: could not prepare the demo sandbox: ") + error + '\n');
            return 1;
        }
        veldrin::enterDemoSandbox(*sandbox);
        writeUtf8(stderr, QStringLiteral("Veldrin demo: sandbox in ") + sandbox->root +
                              QStringLiteral(" (removed when Veldrin quits)\n"));
    }
    // Printing the menu needs no display.
    if (options->printMenu && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
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
            writeUtf8(stderr,
                      QStringLiteral("veldrin: the demo's stand-in apps: ") + error + QLatin1Char('\n'));
    }

    int status = 0;
    {
        veldrin::AppDelegate delegate(veldrin::makeDesktopPlatform());
        // The demo's controller lives in its sandbox, which goes when it quits.
        delegate.limits.runsOutliveVeldrin = !sandbox;
        if (options->printMenu) {
            delegate.applicationDidFinishLaunching({.statusItem = false, .timers = false});
            PrintedMenu menu;
            delegate.openMenuAfterLaunch(menu);
            writeUtf8(stdout, veldrin::menuText(menu.entries));
        } else {
            delegate.applicationDidFinishLaunching({});
            reportShownWhenAsked();
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
