#pragma once

// Pure builders: a snapshot of the fields in, the whole menu model out.

#include "app/SyncState.h"
#include "cloud/CloudProfileState.h"
#include "menu/MenuEntry.h"

#include <map>

namespace veldrin {

struct MenuSnapshot {
    SyncState state = SyncState::ready;
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

// "↑", "↓", "↕" for up, down, both; "off" for anything else.
QString modeSymbol(const QString& mode);
// "Cloud Sync — Pri ↑ · Alt off · Tri ↕", with " · N active" when transfers are under way.
QString cloudSummaryTitle(const std::map<QString, CloudProfileState>& profiles,
                          const std::map<QString, qint64>& transfers);

} // namespace veldrin
