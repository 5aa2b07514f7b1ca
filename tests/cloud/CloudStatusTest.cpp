// The cloud model from `cloud status`, and the Cloud Sync and Tools submenus drawn from it.
#include "cloud/CloudStatus.h"
#include "cloud/CloudMenu.h"
#include "menu/MenuText.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

using namespace veldrin;

namespace {

using Profiles = std::map<QString, CloudProfileState>;

CloudModel failed(const QString& error) {
    CloudModel model;
    model.cloudError = error;
    return model;
}

// The submenu's lines without its action items.
QStringList infoLines(const MenuEntry& entry) {
    QStringList lines{entry.title};
    for (const MenuEntry& e : entry.submenu->entries)
        if (!e.separator && e.action == Action::none && !e.submenu)
            lines << e.title;
    return lines;
}

} // namespace

TEST(CloudStatus, AnswerToModel) {
    const qint64 max = std::numeric_limits<qint64>::max();
    const struct {
        int status;
        QString output;
        CloudModel model;
    } cases[] = {
        {0, R"({"profiles": []})", {}},
        {0,
         R"({"profiles": [{"profile": "pri", "upload_enabled": true, "download_enabled": true, "offered_projects": 2,
                          "offered_chats": 3.9},
                         {"name": "Skipped, no profile"},
                         {"profile": "alt", "name": "Mac A", "download_enabled": 1, "offered_chats": -2.7},
                         {"profile": "tri", "name": "Mac B", "upload_enabled": "true", "offered_projects": 1e30},
                         {"profile": "alt", "upload_enabled": 0.5, "offered_projects": "7"}],
             "transferSummary": {"pending": 1, "error": 2, "other": 9}})",
         {"Mac A",
          Profiles{{"pri", {"both", 2, 3}}, {"alt", {"up", 0, 0}}, {"tri", {"off", max, 0}}},
          {{"pending", 1}, {"available", 0}, {"downloading", 0}, {"applied", 0}, {"error", 2}},
          std::nullopt}},
        {0,
         R"({"profiles": [{"profile": "pri", "download_enabled": true}], "transferSummary": [1]})",
         {std::nullopt, Profiles{{"pri", {"down", 0, 0}}}, {}, std::nullopt}},
        {2, "  cloud: not registered \n", failed("cloud: not registered")},
        {1, "", failed("Cloud status unavailable")},
        {0, "warning: slow\n{\"profiles\": []}", failed("warning: slow\n{\"profiles\": []}")},
        {0, R"( {"profiles": [{"profile": "pri"}, 3]} )", failed(R"({"profiles": [{"profile": "pri"}, 3]})")},
        {0, R"({"profiles": {}})", failed(R"({"profiles": {}})")},
        {0, "[]", failed("[]")},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(parseCloudStatus(c.status, c.output) == c.model) << c.output.toStdString();
    EXPECT_EQ(jsonCount(QJsonValue(-1e30)), std::numeric_limits<qint64>::min());
}

TEST(CloudMenu, LinesFollowTheModel) {
    CloudState cloud;
    EXPECT_EQ(infoLines(cloudSyncEntry(cloud, false)),
              (QStringList{"Cloud Sync — Pri off · Alt off · Tri off", "Connected — registered Mac",
                           "Primary: off · 0 projects · 0 chats", "Alt: off · 0 projects · 0 chats",
                           "Tri: off · 0 projects · 0 chats",
                           "Transfers: 0 pending · 0 available · 0 downloading · 0 applied · 0 errors"}));
    cloud.cloudProfiles = {{"pri", {"off", 1, 1}}, {"tri", {"down", 0, 12}}};
    cloud.cloudTransfers = {{"applied", 5}};
    cloud.cloudDeviceName = "Mac\n\u202Eevil";
    QStringList lines = infoLines(cloudSyncEntry(cloud, false));
    EXPECT_EQ(lines[0], "Cloud Sync — Pri off · Alt off · Tri ↓");
    EXPECT_EQ(lines[1], "Connected — \u2068Mac \u202Eevil\u202C\u2069");
    EXPECT_EQ(lines[2], "Primary: off · 1 projects · 1 chats");
    cloud.cloudTransfers = {{"error", 2}};
    cloud.cloudError = "no network\n" + QString(100, 'x');
    EXPECT_EQ(infoLines(cloudSyncEntry(cloud, false)).mid(0, 2),
              (QStringList{"Cloud Sync — Pri off · Alt off · Tri ↓ · 2 active",
                           "Cloud unavailable — no network " + QString(68, 'x') + "…"}));
    EXPECT_EQ(
        cloudSummaryTitle({{"pri", {"Up", 0, 0}}}, {{"pending", 2}, {"available", 3}, {"downloading", 4}}),
        "Cloud Sync — Pri off · Alt off · Tri off · 9 active");
    // Counts near the top of the range add up to the top, not past it.
    const qint64 max = std::numeric_limits<qint64>::max();
    EXPECT_EQ(cloudSummaryTitle({}, {{"pending", max}, {"error", max}, {"available", -5}}),
              "Cloud Sync — Pri off · Alt off · Tri off · 9223372036854775807 active");
    cloud.cloudRefreshing = true;
    const MenuEntry entry = cloudSyncEntry(cloud, true);
    EXPECT_EQ(infoLines(entry)[1], "Refreshing cloud status…");
    const auto& items = entry.submenu->entries;
    EXPECT_FALSE(std::find_if(items.begin(), items.end(), [](const MenuEntry& e) {
                     return e.action == Action::runCloudCycleNow;
                 })->enabled); // during a run
}

TEST(CloudMenu, ProfileSubmenuChecksTheCurrentModeAndCarriesItsValues) {
    const MenuEntry pri = cloudProfileMenu(primaryProfile, {{"pri", {"both", 0, 0}}});
    EXPECT_EQ(menuText({pri}), "Primary Target\n"
                               "  Up Sync Only [off]\n  Down Sync Only [off]\n  Up + Down Sync [on]\n"
                               "  Turn Cloud Sync Off [off]\n  ---\n  Offer Project…\n  Offer Chat…\n");
    QList<QVariant> carried;
    for (const MenuEntry& e : pri.submenu->entries)
        carried << e.representedObject;
    EXPECT_EQ(carried, (QList<QVariant>{QStringList{"pri", "up"}, QStringList{"pri", "down"},
                                        QStringList{"pri", "both"}, QStringList{"pri", "off"}, QVariant(),
                                        "pri", "pri"}));
    const MenuEntry alt = cloudProfileMenu(altProfile, {{"pri", {"both", 0, 0}}});
    EXPECT_FALSE(menuText({alt}).contains("[on]"));
}
