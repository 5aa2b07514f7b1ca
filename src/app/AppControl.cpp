#include "app/AppDelegate.h"

#include "appcontrol/ConfirmedOperations.h"
#include "appcontrol/Maintenance.h"
#include "appcontrol/QuitAll.h"
#include "appcontrol/StopSequence.h"
#include "platform/Paths.h"

#include <QFileInfo>
#include <QPointer>

namespace veldrin {

bool AppDelegate::busyWithApps() const {
    return runs.activeProcess || appControl.isQuittingApps;
}

std::shared_ptr<LogWindow> AppDelegate::openStopWindow(const QString& title, const QString& firstLine) {
    appControl.isQuittingApps = true;
    refresh(); // working, at once
    std::shared_ptr<LogWindow> window = platform_.logWindows->create(title);
    runs.logWindow = window;
    window->show();
    window->append(firstLine);
    return window;
}

void AppDelegate::stopChatGPTProcesses(const std::shared_ptr<LogWindow>& window,
                                       std::function<void(const QStringList&)> completion) {
    platform_.workspace->terminateApplications(codexBundleIdentifiers());

    const StopSequenceSetup setup{controller(), limits.appProcesses, limits.appProcesses,
                                  systemPath(QStringLiteral("/bin/kill"))};
    // The work is joined before the platform goes away.
    Sleeper* sleeper = platform_.sleeper.get();
    const QPointer<AppDelegate> self(this);
    platform_.work->start(
        [self, setup, sleeper, window, completion = std::move(completion)](const StopToken& stop) mutable {
            const QStringList survivors = escalateStop(
                setup, *sleeper, [&window](const QString& line) { window->append(line); }, stop);
            return BackgroundWork::HandBack(
                [self = std::move(self), survivors, completion = std::move(completion)] {
                    if (self)
                        completion(survivors);
                });
        });
}

void AppDelegate::quitAllChatGPTProcesses() {
    if (busyWithApps())
        return;
    if (!confirmed(*platform_.alerts, quitAll::confirmationAlert()))
        return;
    const std::shared_ptr<LogWindow> window = openStopWindow(quitAll::windowTitle(), quitAll::openingLine());
    const QPointer<AppDelegate> self(this);
    stopChatGPTProcesses(window, [self, window](const QStringList& survivors) {
        if (!self)
            return;
        window->append(quitAll::outcomeLine(survivors));
        self->appControl.isQuittingApps = false;
        self->refresh();
    });
}

void AppDelegate::runMaintenance(const MaintenanceOperation& operation) {
    if (busyWithApps())
        return;
    if (operation.refusedWhilePaused && QFileInfo::exists(pauseFile())) {
        platform_.alerts->runModal(maintenance::syncIsPausedAlert());
        return;
    }
    if (!confirmed(*platform_.alerts, operation.confirmation))
        return;
    const std::shared_ptr<LogWindow> window = openStopWindow(operation.job.title, operation.openingLine);
    const QPointer<AppDelegate> self(this);
    stopChatGPTProcesses(window, [self, window, operation](const QStringList& survivors) {
        if (!self)
            return;
        self->appControl.isQuittingApps = false;
        if (!survivors.isEmpty()) {
            window->append(cancellationLine(operation, survivors));
            self->refresh();
            return;
        }
        window->append(operation.proceedLine);
        self->refresh();
        // Its own window; the stop window stays on screen.
        self->runController(operation.job.arguments, operation.job.title);
    });
}

void AppDelegate::repairProjects(const QString& target, const QString& label) {
    runMaintenance(maintenance::repairProjects(target, label));
}
void AppDelegate::repairPrimary() {
    repairProjects(QStringLiteral("primary"), QStringLiteral("Primary"));
}
void AppDelegate::repairAlt() {
    repairProjects(QStringLiteral("alt"), QStringLiteral("Alt"));
}
void AppDelegate::repairTri() {
    repairProjects(QStringLiteral("tri"), QStringLiteral("Tri"));
}
void AppDelegate::fixUnreadableChats() {
    runMaintenance(maintenance::fixUnreadableChats());
}
void AppDelegate::resolveRolloutConflicts() {
    runMaintenance(maintenance::resolveRolloutConflicts());
}
void AppDelegate::updateAllApps() {
    runMaintenance(maintenance::updateAllApps());
}

// The precondition is tested before the alert only; the run's own guard
// still applies after it.
void AppDelegate::runConfirmed(const ConfirmedOperation& operation) {
    if (runs.activeProcess || bridge.claudeBridgeRunning ||
        (operation.refusedWhileQuittingApps && appControl.isQuittingApps))
        return;
    if (confirmed(*platform_.alerts, operation.confirmation))
        run(operation.job);
}

void AppDelegate::closeClaudeAndSync() {
    runConfirmed(confirmedOperations::closeClaudeAndSync());
}
void AppDelegate::quitClaude() {
    runConfirmed(confirmedOperations::quitClaude());
}
void AppDelegate::syncAllNow() {
    runConfirmed(confirmedOperations::syncAllNow());
}

} // namespace veldrin
