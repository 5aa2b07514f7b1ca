#pragma once

// Pure builders: a snapshot of the fields in, the whole menu model out.

#include "cloud/CloudState.h"
#include "menu/MenuEntry.h"
#include "menu/SyncState.h"

#include <map>
#include <optional>

namespace veldrin {

struct MenuSnapshot {
    SyncState state = SyncState::ready;
    std::optional<QString> appProcessFailure;
    QString appVersionLabel;
    QString primaryBuild;
    QString altBuild;
    QString triBuild;
    bool activeProcess = false;
    bool isQuittingApps = false;
    bool claudeBridgeRunning = false;
    QString claudeBridgeStatus;
    std::map<QString, CloudProfileState> cloudProfiles;
    std::map<QString, qint64> cloudTransfers;
};

std::vector<MenuEntry> buildStatusMenu(const MenuSnapshot& snapshot);

// "Veldrin <version> (build <build>)"; a missing or non-text value shows as "unknown".
QString composeVersionLabel(const QVariant& shortVersion, const QVariant& bundleVersion);
// "Alt up to date (build 27)" / "Alt behind (build 26 → 27)", by plain text equality.
QString buildLine(const QString& label, const QString& profileBuild, const QString& primaryBuild);

// "↑", "↓", "↕" for up, down, both; "off" for anything else.
QString modeSymbol(const QString& mode);
// "Cloud Sync — Pri ↑ · Alt off · Tri ↕", with " · N active" when transfers are under way.
QString cloudSummaryTitle(const std::map<QString, CloudProfileState>& profiles,
                          const std::map<QString, qint64>& transfers);

} // namespace veldrin
