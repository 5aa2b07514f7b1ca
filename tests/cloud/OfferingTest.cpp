// Candidates to offer, their pop-up titles, and the login command line.
#include "cloud/Offering.h"
#include "cloud/Login.h"
#include "exec/Shell.h"
#include "support/TestSupport.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace veldrin;
using namespace std::chrono_literals;

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
        {{1, "  cloud: not registered\n", ShellFailure::none}, "cloud: not registered"},
        {{3, "", ShellFailure::none}, "/h/bin/veldrin exited with status 3"},
        {{0, "warning: cache\n[]", ShellFailure::none}, "warning: cache\n[]"},
        {{0, R"([{"id": "c", "title": "t"}, 1])", ShellFailure::none}, R"([{"id": "c", "title": "t"}, 1])"},
        {{0, " \n", ShellFailure::none}, "/h/bin/veldrin printed no chat list"},
        {{1, "/h/bin/veldrin did not answer within 15 seconds", ShellFailure::noAnswer},
         "/h/bin/veldrin did not answer within 15 seconds"},
        {{0, QString(1500, 'z'), ShellFailure::none}, QString(1000, 'z') + "…"},
    };
    for (const auto& f : failures) {
        const ChatListing listing = chatListing("/h/bin/veldrin", f.result);
        EXPECT_TRUE(listing.chats.isEmpty());
        EXPECT_EQ(listing.failure, f.failure);
    }
}

TEST(Offering, ChatTitlesAreCutAtAHundredCharactersNeverInsideOne) {
    const QString accented = "e\u0301"; // one character of two code points
    EXPECT_EQ(chatPopUpTitle(QString(99, 'a') + accented + "tail"), QString(99, 'a') + accented);
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

namespace {

// What AppleScript makes of the body of a string literal.
QString unescapeAppleScript(const QString& literal) {
    QString out;
    for (qsizetype i = 0; i < literal.size(); ++i)
        out += literal[i] == '\\' && i + 1 < literal.size() ? literal[++i] : literal[i];
    return out;
}

} // namespace

TEST(CloudLogin, AnyHomeFolderReachesItsOwnController) {
    test::TempHome temp;
    const QString pieces[] = {"'", "\"", "\\",   "$", "`", " ",     "\t",
                              "é", "☃",  "$(x)", "a", "*", "'\\''", "\\\""};
    auto* random = QRandomGenerator::global();
    for (int i = 0; i < 2000; ++i) {
        QString name = QString::number(i);
        for (int n = random->bounded(1, 6); n > 0; --n)
            name += pieces[random->bounded(int(std::size(pieces)))];
        const QString home = temp.home() + "/" + name;
        temp.writeScript(name + "/bin/veldrin", "#!/bin/sh\nprintf '%s|' \"$@\" > \"$0.args\"\n");
        const QString subcommand = i % 2 ? "join" : "login";
        const QString script =
            cloudLogin::osascriptArguments(cloudLogin::commandLine(home + "/bin/veldrin", subcommand))[3];
        const QString prefix = "tell application \"Terminal\" to do script \"";
        ASSERT_TRUE(script.startsWith(prefix) && script.endsWith('"'));
        const QString commandLine = unescapeAppleScript(script.mid(prefix.size()).chopped(1));
        ASSERT_TRUE(cloudLogin::terminalCommand(commandLine).last().startsWith(commandLine + "; "));
        ASSERT_EQ(shell({"/bin/sh", "-c", commandLine}, {10s, 4096}).status, 0) << name.toStdString();
        ASSERT_EQ(temp.readFile(name + "/bin/veldrin.args"), "cloud|" + subcommand.toUtf8() + "|")
            << name.toStdString();
    }
}
