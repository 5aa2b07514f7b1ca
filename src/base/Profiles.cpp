#include "base/Profiles.h"

#include "base/Paths.h"

namespace veldrin {

const Profile& profileForKey(QStringView key) {
    for (const Profile& profile : profiles) {
        if (key == profile.key)
            return profile;
    }
    return triProfile;
}

QString appPath(const Profile& profile) {
    const QString relative = QStringLiteral("/Applications/") + profile.appBundle;
    return profile.appInHome ? homeFolder() + relative : systemPath(relative);
}

QString dataFolderPath(const Profile& profile) {
    return homeFolder() + QLatin1Char('/') + profile.dataFolder;
}

QStringList bundleIdentifiers() {
    QStringList ids;
    for (const Profile& profile : profiles)
        ids << profile.bundleIdentifier;
    return ids;
}

} // namespace veldrin
