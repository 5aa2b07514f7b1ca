// The synchronous runner against real child processes, and the streaming
// decoder through which runs are read: nothing lost at the seams between reads.

#include "exec/Shell.h"
#include "exec/Utf8Stream.h"
#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QList>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

const QueryLimits roomy{10s, 4 * 1024 * 1024};

// Feeds every piece, then finishes, and returns everything decoded.
QString decodePieces(const QList<QByteArray>& pieces) {
    Utf8StreamDecoder decoder;
    QString out;
    for (const QByteArray& piece : pieces)
        out += decoder.feed(piece);
    return out + decoder.finish();
}

} // namespace

TEST(Shell, MergesBothStreamsInWriteOrderAndReturnsEverything) {
    test::TempHome home;
    const QString mixed =
        home.writeScript("s", "#!/bin/sh\necho one\necho two >&2\necho three\nprintf 'four' >&2\nexit 3\n");
    ShellResult r = shell({mixed}, roomy);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.failure, ShellFailure::none);
    EXPECT_EQ(r.output, "one\ntwo\nthree\nfour");

    // Far more than a pipe holds, written before the exit.
    r = shell({home.writeScript("big", "#!/bin/sh\nfor i in $(seq 0 2999); do printf '%099d\\n' $i; done\n")},
              roomy);
    ASSERT_EQ(r.output.size(), 300000);
    EXPECT_TRUE(r.output.endsWith("002999\n"));

    // Invalid UTF-8 empties the output, or is replaced where asked.
    const QString invalid = home.writeScript("p", "#!/bin/sh\nprintf 'caf\\303\\251 \\377 ok'\nexit 4\n");
    r = shell({invalid}, roomy);
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.output, QString());
    EXPECT_EQ(shell({invalid}, roomy, {}, InvalidUtf8::replace).output, "café \uFFFD ok");
}

TEST(Shell, ArgumentsReachTheChildUnchangedWithoutAShell) {
    test::TempHome home;
    const QString controller = home.writeController(test::recordingController());
    const QStringList args{
        "two words", "it's \"quoted\"",      "$(touch pwned)", "`touch pwned2`", "line\nbreak", "*",
        "",          "Ünïcødé ↔ 🙂", "; rm -rf / #"};
    EXPECT_EQ(shell(QStringList{controller} + args, roomy).status, 0);
    // A shell in between would have run or split some of them.
    EXPECT_EQ(test::recordedCalls(home), QList<QStringList>{args});
}

TEST(Shell, ChildInheritsEnvironmentAndFolderButNoOtherDescriptor) {
    test::TempHome home;
    const int leaky = open("/dev/null", O_RDONLY); // no close-on-exec
    qputenv("VELDRIN_TEST_MARKER", "marker value");
    const QString script = home.writeScript("fds", "#!/bin/sh\necho \"env=$VELDRIN_TEST_MARKER\"\necho "
                                                   "\"cwd=$(pwd)\"\nls /dev/fd/ | tr '\\n' ' '\n");
    const ShellResult r = shell({script}, roomy);
    close(leaky);
    qunsetenv("VELDRIN_TEST_MARKER");
    EXPECT_EQ(r.output.section(QLatin1Char('\n'), 0, 1), "env=marker value\ncwd=" + QDir::currentPath());
    // ls lists 0, 1, 2 and the descriptor of its own listing, nothing of ours.
    EXPECT_EQ(r.output.section(QLatin1Char('\n'), 2).split(QLatin1Char(' '), Qt::SkipEmptyParts).size(), 4)
        << r.output.toStdString();
}

TEST(Shell, ProgramThatBreaksALimitIsKilledWithItsHelpersAndReaped) {
    test::TempHome home;
    const QueryLimits tight{700ms, 64 * 1024};
    for (const auto& [body, failure, suffix] :
         {std::tuple{"echo started\nwhile :; do sleep 1; done", ShellFailure::noAnswer,
                     " did not answer within 0.7 seconds"},
          {"while :; do echo flooding flooding flooding; done", ShellFailure::tooMuchOutput,
           " printed more than 65536 bytes"},
          // Closes its output, yet keeps running.
          {"exec >/dev/null 2>&1\nwhile :; do sleep 1; done", ShellFailure::noAnswer,
           " did not answer within 0.7 seconds"}}) {
        const QString script = home.writeScript(
            "limit", QByteArray("#!/bin/sh\nsleep 1000 &\necho \"$$ $!\" > \"$HOME/pids\"\n") + body + "\n");
        const QDeadlineTimer bound(5s);
        const ShellResult r = shell({script}, tight);
        EXPECT_FALSE(bound.hasExpired()) << body;
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.failure, failure) << body;
        EXPECT_EQ(r.output, script + suffix);
        const QList<QByteArray> pids = home.readFile("pids").trimmed().split(' ');
        ASSERT_EQ(pids.size(), 2);
        EXPECT_FALSE(test::processAlive(pids[0].toLongLong())) << "the program";
        EXPECT_TRUE(test::waitUntil([&] { return !test::processAlive(pids[1].toLongLong()); }, 5s))
            << "its helper";
    }
}

// Every case whole, split at any two points, and byte by byte. Byte strings
// are split where a hex escape would swallow the next letter.
// clang-format off
TEST(Utf8Stream, CharactersComeOutWholeAndInvalidBytesBecomeReplacementsWithoutEatingWhatFollows) {
    for (const auto& [name, bytes, utf16] : {
             std::tuple<const char*, QByteArray, const char16_t*>{"valid",
                 "a\xC3\xA9" "b\xE2\x82\xAC" "c\xF0\x9F\x98\x80" "d\xF4\x8F\xBF\xBF",
                 u"a\u00E9b\u20ACc\U0001F600d\U0010FFFF"},
             {"0xFF", "a\xFF" "b", u"a\uFFFDb"},
             {"lone continuation", "x\x80y\xBF\xBFz", u"x\uFFFDy\uFFFD\uFFFDz"},
             {"overlong two-byte slash", "\xC0\xAF/", u"\uFFFD\uFFFD/"},
             {"encoded high surrogate", "\xED\xA0\x80" "ok", u"\uFFFD\uFFFD\uFFFDok"},
             {"beyond U+10FFFF", "\xF4\x90\x80\x80!", u"\uFFFD\uFFFD\uFFFD\uFFFD!"},
             {"cut short by a new lead", "\xE2\xE2\x82\xAC", u"\uFFFD\u20AC"},
             {"cut short by the end", "ok \xF0\x9F\x98", u"ok \uFFFD"}}) {
        const QString expected = QString::fromUtf16(utf16);
        QList<QByteArray> single;
        for (const char b : bytes)
            single.append(QByteArray(1, b));
        EXPECT_EQ(decodePieces(single), expected) << name << " byte by byte";
        for (qsizetype i = 0; i <= bytes.size(); ++i)
            for (qsizetype j = i; j <= bytes.size(); ++j)
                EXPECT_EQ(decodePieces({bytes.first(i), bytes.sliced(i, j - i), bytes.sliced(j)}), expected)
                    << name << " split at " << i << " and " << j;
    }
}
// clang-format on
