#pragma once

// The maintenance jobs that may only run while none of the three Codex apps
// does: each is confirmed, stops the apps, and then either hands its job to
// the controller or is cancelled, naming what survived.

#include "exec/ControllerJob.h"
#include "platform/Alerts.h"

#include <QString>
#include <QStringList>

namespace veldrin {

struct MaintenanceOperation {
    AlertRequest confirmation;
    ControllerJob job; // its title is also the stop window's
    QString openingLine;
    QString proceedLine;
    // "Repair", "Fix", "Resolution"; empty for the upgrade, whose line names
    // the survivors without counting them.
    QString cancelledSubject;
    bool refusedWhilePaused = false;
};

namespace maintenance {

// `target` is the profile word the controller takes, `label` the profile name shown.
MaintenanceOperation repairProjects(const QString& target, const QString& label);
MaintenanceOperation fixUnreadableChats();
MaintenanceOperation resolveRolloutConflicts();
MaintenanceOperation updateAllApps();

// Repair while the pause marker exists.
AlertRequest syncIsPausedAlert();

} // namespace maintenance

// The line that ends a cancelled operation, for a non-empty survivor list.
QString cancellationLine(const MaintenanceOperation& operation, const QStringList& survivors);
// The line that ends an operation whose apps stopped while another run
// (titled `runningTitle`) had started.
QString notStartedLine(const MaintenanceOperation& operation, const QString& runningTitle);

} // namespace veldrin
