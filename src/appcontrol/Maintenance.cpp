#include "appcontrol/Maintenance.h"

namespace veldrin {

namespace maintenance {

MaintenanceOperation repairProjects(const QString& target, const QString& label) {
    const QString title = QStringLiteral("Repair ") + label;
    return {
        confirmation(QStringLiteral("Repair ") + label + QStringLiteral(" projects?"),
                     QStringLiteral("This closes Primary, Alt, and Tri and rebuilds missing project-to-chat "
                                    "links only in ") +
                         label +
                         QStringLiteral(". It does not sync chats or change the other profiles' project "
                                        "layouts. Reopen Codex after it finishes."),
                     title),
        {{QStringLiteral("repair-projects"), target}, title},
        QStringLiteral("Closing Primary, Alt, and Tri before repairing project data…\n"),
        QStringLiteral("All Codex processes stopped. Repairing ") + label +
            QStringLiteral(" project data…\n"),
        QStringLiteral("Repair"),
        true,
    };
}

MaintenanceOperation fixUnreadableChats() {
    return {
        confirmation(
            QStringLiteral("Fix unreadable chats in Primary, Alt, and Tri?"),
            QStringLiteral("This one-off repair closes all three apps, replaces malformed display "
                           "titles, removes unavailable model providers, archives serialized import "
                           "artifacts, and closes interrupted completed tool calls. Original rollout "
                           "files are preserved and backups are created."),
            QStringLiteral("Run Ad Hoc Fix")),
        {{QStringLiteral("fix-unreadable")}, QStringLiteral("Ad Hoc Fix Unreadable Chats")},
        QStringLiteral("Closing Primary, Alt, and Tri before the one-off repair…\n"),
        QStringLiteral("All Codex processes stopped. Repairing unreadable chats in all three profiles…\n"),
        QStringLiteral("Fix"),
    };
}

MaintenanceOperation resolveRolloutConflicts() {
    return {
        confirmation(QStringLiteral("Resolve provably safe rollout conflicts?"),
                     QStringLiteral("This closes Primary, Alt, and Tri, backs up the compared copies, and "
                                    "replaces only a rollout whose complete ordered history is contained in "
                                    "the other copy. Genuine or ambiguous branches are refused and left "
                                    "unchanged."),
                     QStringLiteral("Resolve Safe Conflicts")),
        {{QStringLiteral("resolve-conflicts")}, QStringLiteral("Resolve Safe Rollout Conflicts")},
        QStringLiteral("Closing Primary, Alt, and Tri before resolving rollout conflicts…\n"),
        QStringLiteral("All Codex processes stopped. Proving containment and creating backups…\n"),
        QStringLiteral("Resolution"),
    };
}

MaintenanceOperation updateAllApps() {
    return {
        confirmation(
            QStringLiteral("Upgrade Alt and Tri to the latest Primary build?"),
            QStringLiteral("This closes Primary, Alt, and Tri, verifies the signed Primary app, then "
                           "upgrades Alt and Tri to the same build."),
            QStringLiteral("Quit Apps and Upgrade")),
        {{QStringLiteral("update-all")}, QStringLiteral("Upgrade to Latest")},
        QStringLiteral("Closing Primary, Alt, and Tri before upgrading…\n"),
        QStringLiteral("All ChatGPT processes stopped. Starting verified upgrade…\n"),
        QString(),
    };
}

AlertRequest syncIsPausedAlert() {
    // The alert's own single button.
    return {AlertStyle::warning,
            QStringLiteral("Sync is paused"),
            QStringLiteral("Choose Resume Sync first, then run Repair Projects & Sync again."),
            {QStringLiteral("OK")},
            std::nullopt};
}

} // namespace maintenance

QString cancellationLine(const MaintenanceOperation& operation, const QStringList& survivors) {
    const QString list = survivors.join(QStringLiteral(", "));
    if (operation.cancelledSubject.isEmpty())
        return QStringLiteral("Upgrade cancelled because genuine processes remain: ") + list +
               QStringLiteral(".\n");
    return operation.cancelledSubject + QStringLiteral(" cancelled because ") +
           QString::number(survivors.size()) + QStringLiteral(" process(es) could not be stopped: ") + list +
           QStringLiteral(".\n");
}

QString notStartedLine(const MaintenanceOperation& operation, const QString& runningTitle) {
    return operation.job.title + QStringLiteral(" did not start because another run is in progress (") +
           runningTitle + QStringLiteral(").\n");
}

} // namespace veldrin
