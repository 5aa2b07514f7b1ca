#include "app/AppDelegate.h"
#include "app/Paths.h"
#include "exec/LogWindow.h"
#include "exec/Spawn.h"
#include "exec/Utf8Stream.h"

#include <QCoreApplication>
#include <QPointer>

#include <cerrno>
#include <thread>
#include <unistd.h>

namespace veldrin {

namespace {

QString closingLine(int status) {
    return QStringLiteral("\nFinished with exit code ") + QString::number(status) + QStringLiteral(".\n");
}

// Runs on a thread of its own for the life of the run: everything the
// controller writes reaches the window, in order, before the closing line.
void streamRun(int fd, pid_t pid, std::shared_ptr<LogWindow> window, QPointer<AppDelegate> delegate,
               std::shared_ptr<ControllerProcess> process) {
    Utf8StreamDecoder decoder;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            const QString text = decoder.feed(QByteArrayView(buffer, n));
            if (!text.isEmpty())
                window->append(text);
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    const QString rest = decoder.finish();
    if (!rest.isEmpty())
        window->append(rest);
    close(fd);
    const int status = waitForExit(pid);

    // The window's last reference travels with this call, so the window is
    // only ever released on the main thread.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [window = std::move(window), delegate, process = std::move(process), status]() mutable {
            window->append(closingLine(status));
            if (delegate)
                delegate->finishControllerRun(process);
            window.reset();
        },
        Qt::QueuedConnection);
}

} // namespace

void AppDelegate::runController(const QStringList& arguments, const QString& title) {
    if (activeProcess)
        return;

    auto window = std::make_shared<LogWindow>(title);
    logWindow = window; // the window it replaces stays on screen
    window->show();

    QStringList argv{controller()};
    argv += arguments;
    const SpawnResult child = spawnWithPipe(argv);
    if (!child.started()) {
        window->append(QStringLiteral("Could not start: ") + launchErrorDescription(argv.first(), child.error) +
                       QLatin1Char('\n'));
        return;
    }

    auto process = std::make_shared<ControllerProcess>(ControllerProcess{child.pid, arguments});
    activeProcess = process;
    std::thread(streamRun, child.readFd, child.pid, window, QPointer<AppDelegate>(this), process).detach();
    refresh();
}

void AppDelegate::finishControllerRun(const std::shared_ptr<ControllerProcess>& process) {
    if (activeProcess == process)
        activeProcess.reset();
    refresh();
    refreshCloudStatus(true);
}

} // namespace veldrin
