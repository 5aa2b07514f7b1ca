#include "app/AppDelegate.h"

#include "base/Paths.h"
#include "exec/Spawn.h"
#include "exec/StreamRun.h"

namespace veldrin {

namespace {

QString closingLine(int status) {
    return QStringLiteral("\nFinished with exit code ") + QString::number(status) + QStringLiteral(".\n");
}

} // namespace

void AppDelegate::runController(const QStringList& arguments, const QString& title) {
    if (runs.activeProcess)
        return;

    const std::shared_ptr<LogWindow> window = platform_.logWindows->create(title);
    runs.logWindow = window; // the window it replaces stays on screen
    window->show();

    QStringList argv{controller()};
    argv += arguments;
    const SpawnResult child = spawnWithPipe(argv);
    if (!child.started()) {
        window->append(QStringLiteral("Could not start: ") +
                       launchErrorDescription(argv.first(), child.error) + QLatin1Char('\n'));
        return;
    }

    auto process = std::make_shared<ControllerProcess>(ControllerProcess{child.pid, arguments, title});
    runs.activeProcess = process;
    inBackground(
        [window, child, drain = limits.drainAfterExit,
         outlives = limits.runsOutliveVeldrin](const StopToken& stop) {
            // Everything read goes to the window before the closing line does.
            return streamChildOutput(
                child, [&window](const QString& text) { window->append(text); }, drain, stop, outlives);
        },
        [window, process](AppDelegate& self, const std::optional<int>& status) {
            if (!status)
                return;
            window->append(closingLine(*status));
            self.finishControllerRun(process);
        });
    refresh();
}

void AppDelegate::finishControllerRun(const std::shared_ptr<ControllerProcess>& process) {
    if (runs.activeProcess == process)
        runs.activeProcess.reset();
    refresh();
    refreshCloudStatus(true);
}

} // namespace veldrin
