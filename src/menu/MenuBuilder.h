#pragma once

// Pure builders: a snapshot of the fields in, the whole menu model out. The
// cloud and tools sections come built by their own subsystems.

#include "menu/MenuEntry.h"
#include "menu/SyncState.h"

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
    MenuEntry cloudSection; // the "Cloud Sync — …" summary with its submenu
    MenuEntry toolsSection; // "Tools" with its submenu
    MenuEntry recentRuns;   // "Recent Runs" with its submenu, after "Last 10 Sync Runs…"
};

std::vector<MenuEntry> buildStatusMenu(const MenuSnapshot& snapshot);

// `entries` with every title and tooltip, their submenus' too, as a menu
// shows them (menuTitle: one line, cut at 200 characters). The status menu is
// made with it, so that each renderer shows the titles as they stand and adds
// only its own escape (Qt's "&", the D-Bus menu's "_").
std::vector<MenuEntry> withMenuTitles(std::vector<MenuEntry> entries);

// "Veldrin <version> (build <build>)"; a missing or non-text value shows as "unknown".
QString composeVersionLabel(const QVariant& shortVersion, const QVariant& bundleVersion);
// "Alt up to date (build 27)" / "Alt behind (build 26 → 27)", by plain text equality.
QString buildLine(const QString& label, const QString& profileBuild, const QString& primaryBuild);

} // namespace veldrin
