// The cloud model from `cloud status`, the Cloud Sync submenus drawn from it,
// the candidates to offer, and the login command line.

#include "cloud/CloudMenu.h"
#include "cloud/CloudStatus.h"
#include "cloud/Login.h"
#include "cloud/Offering.h"
#include "exec/Shell.h"
#include "menu/MenuText.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <limits>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

using Profiles = std::map<QString, CloudProfileState>;
constexpr qint64 max = std::numeric_limits<qint64>::max();

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
    const auto failed = [](const QString& error) { return CloudModel{{}, {}, {}, error}; };
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
    EXPECT_EQ(
        infoLines(cloudSyncEntry(cloud, false)).mid(0, 3),
        (QStringList{"Cloud Sync — Pri off · Alt off · Tri ↓", "Connected — \u2068Mac \u202Eevil\u202C\u2069",
                     "Primary: off · 1 projects · 1 chats"}));
    cloud.cloudTransfers = {{"error", 2}};
    cloud.cloudError = "no network\n" + QString(100, 'x');
    EXPECT_EQ(infoLines(cloudSyncEntry(cloud, false)).mid(0, 2),
              (QStringList{"Cloud Sync — Pri off · Alt off · Tri ↓ · 2 active",
                           "Cloud unavailable — no network " + QString(68, 'x') + "…"}));
    EXPECT_EQ(
        cloudSummaryTitle({{"pri", {"Up", 0, 0}}}, {{"pending", 2}, {"available", 3}, {"downloading", 4}}),
        "Cloud Sync — Pri off · Alt off · Tri off · 9 active");
    // Counts near the top of the range add up to the top, not past it.
    EXPECT_EQ(cloudSummaryTitle({}, {{"pending", max}, {"error", max}, {"available", -5}}),
              "Cloud Sync — Pri off · Alt off · Tri off · 9223372036854775807 active");
    cloud.cloudRefreshing = true;
    const MenuEntry entry = cloudSyncEntry(cloud, true);
    EXPECT_EQ(infoLines(entry)[1], "Refreshing cloud status…");
    EXPECT_TRUE(menuText({entry}).contains("\n  Run Cloud Sync Now [disabled]\n")); // during a run
}

TEST(CloudMenu, ProfileSubmenuChecksTheCurrentModeAndCarriesItsValues) {
    const MenuEntry pri = cloudProfileMenu(primaryProfile, {{"pri", {"both", 0, 0}}});
    EXPECT_EQ(menuText({pri}), "Primary Target\n"
                               "  Up Sync Only [off]\n  Down Sync Only [off]\n  Up + Down Sync [on]\n"
                               "  Turn Cloud Sync Off [off]\n  ---\n  Offer Project…\n  Offer Chat…\n");
    EXPECT_EQ(pri.submenu->entries.front().representedObject, QStringList({"pri", "up"}));
    EXPECT_EQ(pri.submenu->entries.back().representedObject, "pri");
    EXPECT_FALSE(menuText({cloudProfileMenu(altProfile, {{"pri", {"both", 0, 0}}})}).contains("[on]"));
}

TEST(Offering, ChatsInTheControllersOrderOrWhyThereIsNoList) {
    const ChatListing listed =
        chatListing("/h/bin/veldrin",
                    {0, R"([{"id": "c2", "title": "two\nlines\r"}, {"id": "c1"}, {"id": 3, "title": "x"},
                                 {"id": "c0", "title": "R&D <b>"}])"});
    EXPECT_EQ(listed.chats, (QList<OfferCandidate>{{"c2", "two lines\r"}, {"c0", "R&D <b>"}}));
    EXPECT_EQ(listed.failure, std::nullopt);
    const struct {
        ShellResult result;
        QString failure;
    } failures[] = {
        {{1, "  cloud: not registered\n"}, "cloud: not registered"},
        {{3, ""}, "/h/bin/veldrin exited with status 3"},
        {{0, "warning: cache\n[]"}, "warning: cache\n[]"},
        {{0, R"([{"id": "c", "title": "t"}, 1])"}, R"([{"id": "c", "title": "t"}, 1])"},
        {{0, " \n"}, "/h/bin/veldrin printed no chat list"},
        {{1, "/h/bin/veldrin did not answer within 15 seconds", ShellFailure::noAnswer},
         "/h/bin/veldrin did not answer within 15 seconds"},
        {{0, QString(1500, 'z')}, QString(1000, 'z') + "…"},
    };
    for (const auto& f : failures) {
        const ChatListing listing = chatListing("/h/bin/veldrin", f.result);
        EXPECT_TRUE(listing.chats.isEmpty());
        EXPECT_EQ(listing.failure, f.failure);
    }
}

TEST(CloudLogin, OsascriptGetsTheCommandLineEscapedForAppleScript) {
    EXPECT_EQ(cloudLogin::commandLine("/Users/user/bin/veldrin", "join"),
              "'/Users/user/bin/veldrin' cloud join");
    EXPECT_EQ(
        cloudLogin::osascriptArguments(cloudLogin::commandLine("/Users/a'b\"c/bin/veldrin", "login")),
        (QStringList{"-e", "tell application \"Terminal\" to activate", "-e",
                     "tell application \"Terminal\" to do script \"'/Users/a'\\\\''b\\\"c/bin/veldrin' cloud "
                     "login\""}));
}

TEST(CloudLogin, AHomeFolderOfAnyNameReachesItsOwnControllerThroughTheTerminalsShell) {
    test::TempHome temp;
    const QString name = "a'b\"c\\d$e`f g\th$(x)*'\\''é☃";
    const QString controller =
        temp.writeScript(name + "/bin/veldrin", "#!/bin/sh\nprintf '%s|' \"$@\" > \"$0.args\"\n");
    const QString line = cloudLogin::terminalCommand(cloudLogin::commandLine(controller, "join")).last();
    // As the terminal's shell runs it; Return is pressed at once.
    const ShellResult ran = shell({"/bin/sh", "-c", "exec /bin/sh -c \"$0\" </dev/null", line}, {10s, 4096});
    EXPECT_EQ(ran.output, "\nPress Return to close.");
    EXPECT_EQ(temp.readFile(name + "/bin/veldrin.args"), "cloud|join|");
}
