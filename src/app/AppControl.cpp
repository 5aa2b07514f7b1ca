#include "app/AppDelegate.h"

#include "appcontrol/ConfirmedOperations.h"
#include "appcontrol/Maintenance.h"
#include "appcontrol/QuitAll.h"
#include "appcontrol/StopSequence.h"
#include "base/Paths.h"
#include "base/Profiles.h"

#include <QFileInfo>

namespace veldrin {

bool AppDelegate::busyWithApps() const {
    return runs.activeProcess || appControl.isQuittingApps;
}

std::shared_ptr<Run> AppDelegate::openStopWindow(const QString& title, const QString& firstLine) {
    appControl.isQuittingApps = true;
    refresh(); // working, at once
    std::shared_ptr<Run> run = openRun(title);
    run->append(firstLine);
    return run;
}

// A stop sequence has no exit code: it succeeded or it did not.
void AppDelegate::finishStopWindow(const std::shared_ptr<Run>& run, const QString& lastLine, bool succeeded) {
    run->append(lastLine);
    appControl.isQuittingApps = false;
    run->finish({succeeded ? RunOutcome::Kind::succeeded : RunOutcome::Kind::failed, std::nullopt,
                 std::chrono::duration_cast<std::chrono::milliseconds>(platform_.clock->monotonicNow() -
                                                                       run->started)},
                lastLine);
    finishRun(run);
    refresh();
}

void AppDelegate::stopChatGPTProcesses(const std::shared_ptr<Run>& window,
                                       std::function<void(const QStringList&)> completion) {
    platform_.workspace->terminateApplications(bundleIdentifiers());

    const StopSequenceSetup setup{controller(), limits.appProcesses, limits.appProcesses,
                                  systemPath(QStringLiteral("/bin/kill"))};
    // The work is joined before the platform goes away.
    Sleeper* sleeper = platform_.sleeper.get();
    inBackground(
        [setup, sleeper, window](const StopToken& stop) {
            return escalateStop(
                setup, *sleeper, [&window](const QString& line) { window->append(line); }, stop);
        },
        [completion = std::move(completion)](AppDelegate&, const QStringList& survivors) {
            completion(survivors);
        });
}

void AppDelegate::quitAllChatGPTProcesses() {
    if (busyWithApps())
        return;
    if (!confirmed(*platform_.alerts, quitAll::confirmationAlert()))
        return;
    const std::shared_ptr<Run> window = openStopWindow(quitAll::windowTitle(), quitAll::openingLine());
    // Completions run on the main thread, only while the delegate is there.
    stopChatGPTProcesses(window, [this, window](const QStringList& survivors) {
        finishStopWindow(window, quitAll::outcomeLine(survivors), survivors.isEmpty());
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
    const std::shared_ptr<Run> window = openStopWindow(operation.job.title, operation.openingLine);
    stopChatGPTProcesses(window, [this, window, operation](const QStringList& survivors) {
        if (!survivors.isEmpty())
            return finishStopWindow(window, cancellationLine(operation, survivors), false);
        // A run started meanwhile (the Claude and cloud actions stay enabled)
        // keeps the job from starting: said so, never dropped silently.
        if (const auto& other = runs.activeProcess)
            return finishStopWindow(window, notStartedLine(operation, other->title), false);
        finishStopWindow(window, operation.proceedLine, true);
        // Its own window; the stop window stays on screen.
        runController(operation.job.arguments, operation.job.title);
    });
}

void AppDelegate::repairProjects(const Profile& profile) {
    runMaintenance(maintenance::repairProjects(profile.repairTarget, profile.label));
}
void AppDelegate::repairPrimary() {
    repairProjects(primaryProfile);
}
void AppDelegate::repairAlt() {
    repairProjects(altProfile);
}
void AppDelegate::repairTri() {
    repairProjects(triProfile);
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
