// The cloud front-end against real controllers: refresh spacing, modes,
// offers through the pop-up, and the login terminal.
#include "app/Harness.h"

#include "cloud/Offering.h"
#include "menu/MenuText.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

bool refreshed(test::Harness& h) {
    return test::waitUntil([&] { return !h.delegate->cloud.cloudRefreshing; });
}

} // namespace

TEST(CloudRefresh, SpacedThirtySecondsFromTheLastAnswerAndNeverTwoAtOnce) {
    test::Harness h(
        "[ \"$1\" = cloud ] && { while [ ! -f \"$HOME/release\" ]; do sleep 0.02; done; "
        "rm \"$HOME/release\"; echo '{\"profiles\": [{\"profile\": \"pri\", \"name\": \"Mac\"}]}'; }");
    h.delegate->refreshCloudStatus(false); // never refreshed: at once
    h.delegate->refreshCloudStatus(false);
    h.delegate->refreshCloudStatus(true); // in flight: dropped, not queued
    h.home.writeScript("release", "");
    ASSERT_TRUE(refreshed(h));
    EXPECT_EQ(h.delegate->cloud.cloudDeviceName, "Mac");
    EXPECT_EQ(h.delegate->cloud.lastCloudRefresh, h.fakes.monotonicNow);

    // The spacing goes by the monotonic clock: a wall clock jumping a day ahead changes nothing.
    h.fakes.now += 24h;
    h.fakes.monotonicNow += 29900ms;
    h.delegate->refresh();
    EXPECT_FALSE(h.delegate->cloud.cloudRefreshing);
    h.fakes.advance(100ms);
    h.delegate->refresh();
    EXPECT_TRUE(h.delegate->cloud.cloudRefreshing);
    h.home.writeScript("release", "");
    ASSERT_TRUE(refreshed(h));
    EXPECT_EQ(test::recordedCalls(h.home).count({"cloud", "status"}), 2); // one for each answer
}

TEST(CloudMode, PickedModeRunsAndIsCheckedOnceTheRunHasEnded) {
    test::Harness h;
    test::installSimulator(h.home);
    test::FakeStatusItem& item = h.statusItem();
    const auto triMenu = [&] { return menuText(item.open().entries).section("  Tri Target\n", 1).left(120); };
    h.delegate->refreshCloudStatus(true);
    ASSERT_TRUE(refreshed(h));
    EXPECT_TRUE(triMenu().contains("Turn Cloud Sync Off [on]"));

    h.delegate->setCloudMode(QStringList{"tri", "up"});
    ASSERT_TRUE(h.runFinished());
    EXPECT_EQ(h.fakes.lastWindow()->title, "Tri Cloud Mode");
    ASSERT_TRUE(refreshed(h)); // forced at the end of every run
    EXPECT_TRUE(triMenu().contains("Up Sync Only [on]")) << triMenu().toStdString();
    for (const QVariant& odd :
         {QVariant(QStringList{"tri"}), QVariant(QStringList{"tri", "up", "x"}), QVariant("tri")})
        h.delegate->setCloudMode(odd);
    EXPECT_EQ(h.fakes.windows.size(), 1u);
}

TEST(Offering, ProjectsSortedByNameOnlyThoseWithOneAndTheChosenOneOffered) {
    test::Harness h;
    h.home.writeScript(".codex-alt/.codex-global-state.json", R"({"local-projects": {
        "/g": {"name": "gamma"}, "/a": {"name": "Alpha"}, "/w2": {"name": "web"}, "/s": "string",
        "/n": {"path": "/n"}, "/x": {"name": 7}, "/b": {"name": "beta"}, "/w1": {"name": "web"}}})");
    h.fakes.alertAnswers = {{firstButton, 4}, {1, 0}};
    h.delegate->offerCloudProject(QString("alt"));
    ASSERT_TRUE(h.runFinished());
    const AlertRequest& choice = h.fakes.alerts[0];
    EXPECT_EQ(choice.informativeText,
              "Choose a project from the Alt profile. Up sync must be enabled first.");
    EXPECT_EQ(choice.buttons, (QStringList{"Offer Project", "Cancel"}));
    EXPECT_EQ(choice.popUp->items, (QStringList{"Alpha", "beta", "gamma", "web", "web"}));
    EXPECT_EQ(choice.popUp->width, 360);
    // Each item's detail is its project's path, which tells the two "web"
    // apart; the fifth item's project is the one offered.
    EXPECT_EQ(choice.popUp->details.mid(0, 3), (QStringList{"/a", "/b", "/g"}));
    EXPECT_EQ(h.calls().first(), (QStringList{"cloud", "offer", "alt", choice.popUp->details.value(4)}));
    EXPECT_EQ(h.fakes.lastWindow()->title, "Offer web");

    h.delegate->offerCloudProject(QString("alt")); // Cancel
    h.delegate->offerCloudProject(QString("tri")); // no state file
    EXPECT_EQ(h.fakes.alerts.back().message, "No projects found");
    EXPECT_EQ(h.fakes.windows.size(), 1u);

    // A state file that cannot be read says why, rather than pass for an empty list.
    const QString folder = h.home.home() + "/.codex-tri";
    const QString file = folder + "/.codex-global-state.json";
    const QString failed = "Could not list projects";
    const struct {
        QByteArray content; // null: a file in the folder's place
        qint64 size;        // grown to this size, if larger
        QString message, reason;
    } lists[] = {
        {R"({"local-projects": {}, "x": 1})", 0, "No projects found",
         "The selected profile has no local projects available to offer."},
        {R"({"local-projects": {"/p": {"name": "p"}}})", globalStateMaxBytes + 1, failed,
         file + " is larger than 16 MiB"},
        {R"({"local-projects": )", 0, failed, file + " is not valid JSON (unterminated object at byte 19)"},
        {"[]", 0, failed, file + " does not hold a JSON object"},
        {{}, 0, failed, file + ": Not a directory"},
    };
    for (const auto& l : lists) {
        QDir(folder).removeRecursively();
        QFile::remove(folder);
        test::writeFile(l.content.isNull() ? folder : file, l.content);
        if (l.size > 0)
            QFile::resize(file, l.size);
        h.delegate->offerCloudProject(QString("tri"));
        EXPECT_EQ(h.fakes.alerts.back().message, l.message) << l.reason.toStdString();
        EXPECT_EQ(h.fakes.alerts.back().informativeText, l.reason);
    }
    EXPECT_EQ(h.fakes.windows.size(), 1u);
}

TEST(Offering, ChatsAreListedInTheBackgroundAndAListThatFailsSaysWhy) {
    test::Harness h("case $2:$3 in list-chats:pri) printf '[{\"id\": \"c-1\", \"title\": \"%s\"}]' "
                    "\"$(printf 'x%.0s' $(seq 150))\" ;;\n list-chats:tri) sleep 30 ;;\n"
                    " list-chats:alt) echo 'cloud: not registered' >&2; exit 4 ;; esac");
    h.fakes.alertAnswers = {{firstButton, 0}};
    h.delegate->offerCloudChat(QString("pri"));
    h.delegate->offerCloudChat(QString("alt")); // while listing: heard, not queued
    EXPECT_EQ(h.fakes.events.filter("beep").size(), 1);
    ASSERT_TRUE(test::waitUntil([&] { return !h.fakes.windows.empty(); }) && h.runFinished());
    ASSERT_EQ(h.fakes.alerts.size(), 1u);
    EXPECT_EQ(h.fakes.alerts[0].popUp->items, QStringList{QString(100, 'x')});
    EXPECT_EQ(h.fakes.alerts[0].popUp->width, 460);
    EXPECT_EQ(h.fakes.lastWindow()->title, "Offer Chat");
    EXPECT_TRUE(h.calls().contains({"cloud", "offer-chat", "pri", "c-1"}));
    EXPECT_FALSE(h.calls().contains({"cloud", "list-chats", "alt"}));

    h.delegate->limits.chatList.timeout = 300ms;
    const std::pair<QString, QString> failures[] = {
        {"tri", h.home.home() + "/bin/veldrin did not answer within 0.3 seconds"},
        {"alt", "cloud: not registered"},
    };
    for (const auto& [profile, reason] : failures) {
        const std::size_t shown = h.fakes.alerts.size();
        h.delegate->offerCloudChat(profile);
        ASSERT_TRUE(test::waitUntil([&] { return h.fakes.alerts.size() == shown + 1; }));
        EXPECT_EQ(h.fakes.alerts.back().message, "Could not list chats");
        EXPECT_EQ(h.fakes.alerts.back().informativeText, reason);
    }
}

TEST(CloudLogin, OpensATerminalThatRunsTheCommandAndWaitsOrSaysWhyNot) {
    test::Harness h("echo \"not found: $*\"");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", (h.home.home() + "/terminal:" + path).toUtf8());
    // The terminal runs its command with Return already typed.
    h.home.writeScript("terminal/x-terminal-emulator",
                       "#!/bin/sh\nprintf '%s|' \"$@\" > \"$HOME/terminal.args\"\n"
                       "shift; echo | \"$@\" > \"$HOME/terminal.screen\" 2>&1\n");
    h.fakes.alertAnswers = {1, 2};
    h.delegate->openCloudLogin();
    h.delegate->openCloudLogin(); // Cancel
    ASSERT_TRUE(test::waitUntil([&] { return h.home.readFile("terminal.screen").endsWith("close."); }));
    EXPECT_TRUE(h.home.readFile("terminal.args")
                    .startsWith("-e|/bin/sh|-c|'" + h.home.home().toUtf8() + "/bin/veldrin' cloud login; "));
    EXPECT_EQ(h.home.readFile("terminal.screen"), "not found: cloud login\n\nPress Return to close.");
    EXPECT_EQ(h.fakes.alerts[0].buttons, (QStringList{"Register by Email", "Use Existing Token", "Cancel"}));

    qputenv("PATH", "/nonexistent");
    h.fakes.alertAnswers = {0};
    h.delegate->openCloudLogin();
    qputenv("PATH", path);
    ASSERT_EQ(h.fakes.alerts.size(), 4u);
    EXPECT_EQ(h.fakes.alerts[3].style, AlertStyle::critical);
    EXPECT_EQ(h.fakes.alerts[3].message, "Could not open Cloud Sync login");
    EXPECT_EQ(h.fakes.alerts[3].informativeText, "x-terminal-emulator: No such file or directory");
}
