#include "cloud/CloudMenu.h"

#include "base/Profiles.h"
#include "menu/TitleText.h"

#include <limits>

namespace veldrin {

namespace {

qint64 countOf(const std::map<QString, qint64>& counts, const char* key) {
    const auto it = counts.find(QString::fromLatin1(key));
    return it == counts.end() ? 0 : it->second;
}

CloudProfileState profileOf(const std::map<QString, CloudProfileState>& profiles, const Profile& profile) {
    const auto it = profiles.find(profile.key);
    return it == profiles.end() ? CloudProfileState{} : it->second;
}

// Counts near the top of the range add up to the top, never past it.
qint64 saturatingSum(std::initializer_list<qint64> counts) {
    qint64 sum = 0;
    for (const qint64 count : counts) {
        if (__builtin_add_overflow(sum, count, &sum))
            sum = count > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    }
    return sum;
}

QString connectionLine(const CloudState& cloud) {
    if (cloud.cloudRefreshing)
        return QStringLiteral("Refreshing cloud status…");
    if (cloud.cloudError)
        return QStringLiteral("Cloud unavailable — ") + untrustedText(*cloud.cloudError);
    return QStringLiteral("Connected — ") +
           (cloud.cloudDeviceName ? untrustedText(*cloud.cloudDeviceName) : QStringLiteral("registered Mac"));
}

QString profileLine(const QString& label, const CloudProfileState& profile) {
    return label + QStringLiteral(": ") + modeSymbol(profile.mode) + QStringLiteral(" · ") +
           QString::number(profile.projects) + QStringLiteral(" projects · ") +
           QString::number(profile.chats) + QStringLiteral(" chats");
}

QString transfersLine(const std::map<QString, qint64>& t) {
    return QStringLiteral("Transfers: ") + QString::number(countOf(t, "pending")) +
           QStringLiteral(" pending · ") + QString::number(countOf(t, "available")) +
           QStringLiteral(" available · ") + QString::number(countOf(t, "downloading")) +
           QStringLiteral(" downloading · ") + QString::number(countOf(t, "applied")) +
           QStringLiteral(" applied · ") + QString::number(countOf(t, "error")) + QStringLiteral(" errors");
}

} // namespace

QString modeSymbol(const QString& mode) {
    if (mode == QLatin1String("up"))
        return QStringLiteral("↑");
    if (mode == QLatin1String("down"))
        return QStringLiteral("↓");
    if (mode == QLatin1String("both"))
        return QStringLiteral("↕");
    return QStringLiteral("off");
}

QString cloudSummaryTitle(const std::map<QString, CloudProfileState>& cloudProfiles,
                          const std::map<QString, qint64>& transfers) {
    QString title = QStringLiteral("Cloud Sync — ");
    for (const Profile& profile : profiles) {
        if (&profile != &profiles.front())
            title += QStringLiteral(" · ");
        title += profile.shortLabel + QLatin1Char(' ') + modeSymbol(profileOf(cloudProfiles, profile).mode);
    }
    // Applied transfers are done; everything else is still under way.
    const qint64 active = saturatingSum({countOf(transfers, "pending"), countOf(transfers, "available"),
                                         countOf(transfers, "downloading"), countOf(transfers, "error")});
    if (active >= 1)
        title += QStringLiteral(" · ") + QString::number(active) + QStringLiteral(" active");
    return title;
}

MenuEntry cloudProfileMenu(const Profile& profile,
                           const std::map<QString, CloudProfileState>& cloudProfiles) {
    const QString title = profile.label + QStringLiteral(" Target");
    const auto current = cloudProfiles.find(profile.key);
    Menu submenu{title, {}};
    const std::pair<const char*, const char*> modes[] = {{"Up Sync Only", "up"},
                                                         {"Down Sync Only", "down"},
                                                         {"Up + Down Sync", "both"},
                                                         {"Turn Cloud Sync Off", "off"}};
    for (const auto& [itemTitle, mode] : modes) {
        MenuEntry item = MenuEntry::item(QString::fromUtf8(itemTitle), Action::setCloudMode, true);
        item.representedObject = QStringList{profile.key, QString::fromLatin1(mode)};
        item.checkmark = current != cloudProfiles.end() && current->second.mode == QLatin1String(mode)
                             ? Checkmark::on
                             : Checkmark::off;
        submenu.entries.push_back(item);
    }
    submenu.entries.push_back(MenuEntry::separatorEntry());
    for (const auto& [itemTitle, action] : {std::pair{"Offer Project…", Action::offerCloudProject},
                                            std::pair{"Offer Chat…", Action::offerCloudChat}}) {
        MenuEntry item = MenuEntry::item(QString::fromUtf8(itemTitle), action, true);
        item.representedObject = QString(profile.key);
        submenu.entries.push_back(item);
    }
    return MenuEntry::holder(title, std::move(submenu));
}

MenuEntry cloudSyncEntry(const CloudState& cloud, bool activeProcess) {
    Menu submenu{QStringLiteral("Cloud Sync"), {}};
    auto& m = submenu.entries;
    m.push_back(MenuEntry::info(statusLineTitle(connectionLine(cloud))));
    for (const Profile& profile : profiles)
        m.push_back(MenuEntry::info(profileLine(profile.label, profileOf(cloud.cloudProfiles, profile))));
    m.push_back(MenuEntry::info(transfersLine(cloud.cloudTransfers)));
    m.push_back(
        MenuEntry::item(QStringLiteral("Run Cloud Sync Now"), Action::runCloudCycleNow, !activeProcess));
    m.push_back(MenuEntry::item(QStringLiteral("Show Cloud Status…"), Action::showCloudStatus, true));
    m.push_back(MenuEntry::separatorEntry());
    for (const Profile& profile : profiles)
        m.push_back(cloudProfileMenu(profile, cloud.cloudProfiles));
    m.push_back(MenuEntry::separatorEntry());
    MenuEntry login =
        MenuEntry::item(QStringLiteral("Register / Log In to Cloud Sync…"), Action::openCloudLogin, true);
    login.toolTip = QStringLiteral("Register by email or save an existing device token in macOS Keychain");
    m.push_back(login);
    return MenuEntry::holder(cloudSummaryTitle(cloud.cloudProfiles, cloud.cloudTransfers),
                             std::move(submenu));
}

} // namespace veldrin
