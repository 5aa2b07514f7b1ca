#pragma once

// The three side-by-side copies of the Codex app, under every name each use
// gives them.

#include <QLatin1String>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>

namespace veldrin {

struct Profile {
    QLatin1String key;              // cloud commands and the cloud model: "pri"
    QLatin1String label;            // texts: "Primary"
    QLatin1String shortLabel;       // the cloud summary title: "Pri"
    QLatin1String repairTarget;     // repair-projects: "primary"
    QLatin1String dataFolder;       // below the home folder: ".codex"
    QLatin1String bundleIdentifier; // the workspace's polite quit
    QLatin1String appBundle;        // "ChatGPT.app"
    bool appInHome;                 // in ~/Applications rather than /Applications
};

inline constexpr std::array<Profile, 3> profiles{{
    {QLatin1String("pri"), QLatin1String("Primary"), QLatin1String("Pri"), QLatin1String("primary"),
     QLatin1String(".codex"), QLatin1String("com.openai.codex"), QLatin1String("ChatGPT.app"), false},
    {QLatin1String("alt"), QLatin1String("Alt"), QLatin1String("Alt"), QLatin1String("alt"),
     QLatin1String(".codex-alt"), QLatin1String("com.openai.codex.alt"), QLatin1String("ChatGPT Alt.app"),
     true},
    {QLatin1String("tri"), QLatin1String("Tri"), QLatin1String("Tri"), QLatin1String("tri"),
     QLatin1String(".codex-tri"), QLatin1String("com.openai.codex.tri"), QLatin1String("ChatGPT Tri.app"),
     true},
}};
inline constexpr const Profile& primaryProfile = profiles[0];
inline constexpr const Profile& altProfile = profiles[1];
inline constexpr const Profile& triProfile = profiles[2];

// The profile a cloud key names; any key but "pri" and "alt" names Tri.
const Profile& profileForKey(QStringView key);

// /Applications/ChatGPT.app (below the system root when one is set), or
// ~/Applications/ChatGPT Alt.app and ~/Applications/ChatGPT Tri.app.
QString appPath(const Profile& profile);
// ~/.codex, ~/.codex-alt, ~/.codex-tri
QString dataFolderPath(const Profile& profile);
// All three, in profile order.
QStringList bundleIdentifiers();

} // namespace veldrin
