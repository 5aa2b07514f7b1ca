#pragma once

// The cloud section of the status menu: the summary title, the "Cloud Sync"
// submenu and one submenu per profile, built from the cloud model.

#include "base/Profiles.h"
#include "cloud/CloudState.h"
#include "menu/MenuEntry.h"

#include <map>

namespace veldrin {

// "↑", "↓", "↕" for up, down, both; "off" for anything else.
QString modeSymbol(const QString& mode);

// "Cloud Sync — Pri ↑ · Alt off · Tri ↕", with " · N active" when transfers are under way.
// The active count adds up without overflowing: past the largest count it stays there.
QString cloudSummaryTitle(const std::map<QString, CloudProfileState>& cloudProfiles,
                          const std::map<QString, qint64>& transfers);

// The profile's entry with its submenu: the four modes (the current one
// checked), then the two offers. The mode items carry [profile, mode].
// "Primary Target" and the like.
MenuEntry cloudProfileMenu(const Profile& profile, const std::map<QString, CloudProfileState>& cloudProfiles);

// The summary entry holding the whole "Cloud Sync" submenu.
MenuEntry cloudSyncEntry(const CloudState& cloud, bool activeProcess);

} // namespace veldrin
