// The run history on disk: files named by time and title holding exactly what
// was appended, the folder kept within its count and size, a folder that
// cannot be written, and the runs read back.
#include "history/PastRuns.h"
#include "history/RecentRunsMenu.h"
#include "history/RunHistory.h"
#include "menu/MenuText.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace veldrin;

namespace {

TimePoint at(int hour, int minute, int second = 0) {
    return TimePoint(std::chrono::milliseconds(
        QDateTime(QDate(2026, 3, 2), QTime(hour, minute, second)).toMSecsSinceEpoch()));
}

// The name of a run begun at `time`: its time in UTC.
QString named(TimePoint time, const QString& rest) {
    return QDateTime::fromMSecsSinceEpoch(time.time_since_epoch().count(), Qt::UTC)
               .toString("yyyy-MM-dd_HHmmss") +
           "Z" + rest;
}

} // namespace

TEST(History, EachRunIsOneFileOfExactlyWhatWasAppendedAndTheFolderKeepsItsLimits) {
    test::TempHome home;
    const QString folder = home.home() + "/runs";
    {
        HistoryWriter writer(folder, {.runs = 3, .bytes = 1000});
        const auto first = writer.begin("Offer a/b: c", at(9, 5, 30));
        for (const QString& piece : {QString("café \u2194 "), QString("\U0001F680\nline 2"), QString("\n")})
            first->append(piece);
        EXPECT_EQ(first->lastLine(), "line 2");
        first->append(closingLine(3));
        first->finish(controllerOutcome(3, false, std::chrono::seconds(75)));
        writer.flush();
        EXPECT_EQ(QFileInfo(first->path()).fileName(), named(at(9, 5, 30), "_Offer a_b_ c.log"));
        EXPECT_EQ(home.readFile("runs/" + QFileInfo(first->path()).fileName()),
                  QString("café \u2194 \U0001F680\nline 2\n\nFinished with exit code 3.\n").toUtf8());
        // How it ended is kept beside it, as data.
        EXPECT_EQ(savedOutcome(first->path()), controllerOutcome(3, false, std::chrono::seconds(75)));
        // Four more runs: only the newest three stay, and a big one pushes out
        // the others, while it stays itself, alone past the size.
        for (int minute = 10; minute < 14; ++minute) {
            const auto run = writer.begin("Veldrin", at(9, minute));
            run->append(QString(100, 'x'));
            run->finish({});
        }
        writer.flush();
        EXPECT_EQ(QDir(folder).entryList({"*.log"}, QDir::Files).size(), 3);
        const auto big = writer.begin("Veldrin Audit", at(9, 20));
        big->append(QString(1990, 'x'));
        big->finish({RunOutcome::Kind::failed, std::nullopt, std::chrono::seconds(3)});
        writer.flush();
        EXPECT_EQ(QDir(folder).entryList(QDir::Files),
                  (QStringList{named(at(9, 20), "_Veldrin Audit.log"),
                               named(at(9, 20), "_Veldrin Audit.outcome")}));
    }
    // Read back: newest first, with how it ended.
    const QList<PastRun> past = pastRuns(folder, 10);
    ASSERT_EQ(past.size(), 1);
    EXPECT_EQ(past[0].title, "Veldrin Audit");
    EXPECT_EQ(recentRunText({past[0].path, past[0].title, past[0].started, false, true, past[0].outcome}),
              "09:20 Veldrin Audit — failed");
}

TEST(History, OnlyRunFilesAreCountedOrRemovedAndRunsOfOneSecondKeepTheirOrderAndTitle) {
    test::TempHome home;
    const QString folder = home.home() + "/runs";
    QDir().mkpath(folder);
    // The user's own files, one of them past the whole size limit.
    test::writeFile(folder + "/notes.log", QByteArray(5000, 'n'));
    test::writeFile(folder + "/0-my-notes.log", "mine");
    test::writeFile(folder + "/README.log", "mine");
    const QByteArray fifo = QFile::encodeName(folder + "/2026-03-02_080000_Fifo.log");
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    const QString longTitle = "Offer " + QString(150, QChar(0x6F22)); // three bytes each in UTF-8
    {
        HistoryWriter writer(folder, {.runs = 2, .bytes = 1000});
        for (const QString& title : {QString("Veldrin Audit"), QString("Veldrin Audit"), longTitle}) {
            const auto run = writer.begin(title, at(9, 10));
            run->append(title + "\n");
            run->finish({});
            writer.flush();
            EXPECT_TRUE(run->saved()) << QFile::encodeName(run->path()).size();
        }
    }
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::System);
    EXPECT_TRUE(names.contains("notes.log") && names.contains("0-my-notes.log") &&
                names.contains("README.log") && names.contains("2026-03-02_080000_Fifo.log"))
        << names.join('|').toStdString();
    // Of the three runs of 09:10:00 the newest two stay, in their order, each with its own title.
    const QList<PastRun> past = pastRuns(folder, 10);
    ASSERT_EQ(past.size(), 2);
    EXPECT_EQ(QFileInfo(past[1].path).fileName(), named(at(9, 10), "-2_Veldrin Audit.log"));
    EXPECT_EQ(past[1].title, "Veldrin Audit");
    EXPECT_TRUE(longTitle.startsWith(past[0].title) &&
                QFileInfo(past[0].path).fileName().toUtf8().size() <= 255);
    // A FIFO in a run's place is not read: nothing waits for a writer.
    EXPECT_EQ(transcriptEnd(QFile::decodeName(fifo), 100), "");
}

TEST(History, AFolderThatCannotBeWrittenCostsTheRunOnlyItsFile) {
    test::TempHome home;
    test::writeFile(home.home() + "/runs", "a file where the folder should be");
    HistoryWriter writer(home.home() + "/runs");
    const auto record = writer.begin("Veldrin", at(10, 0));
    record->append("still streaming\n");
    writer.flush();
    EXPECT_FALSE(record->saved());
    EXPECT_EQ(record->lastLine(), "still streaming");
}

TEST(History, RecentRunsTellEachRunsResultNewestFirst) {
    const auto outcome = [](RunOutcome::Kind kind, std::optional<int> code) {
        return std::optional(RunOutcome{kind, code, {}});
    };
    const QList<RecentRun> runs = {
        {"/r/a", "Veldrin Audit", at(9, 40), true, true, std::nullopt},
        {"/r/b", "Veldrin", at(9, 30), false, true, outcome(RunOutcome::Kind::succeeded, 0)},
        {"/r/c", "Cloud Sync", at(9, 20), false, true, outcome(RunOutcome::Kind::failed, 3)},
        {"/r/d", "Claude Code Sync", at(9, 10), false, true, outcome(RunOutcome::Kind::stopped, 15)},
        {"/r/e", "Quit All ChatGPT Processes", at(9, 0), false, false,
         outcome(RunOutcome::Kind::succeeded, {})},
        {"/r/f", "Veldrin Sync", at(8, 50), false, true,
         RunOutcome{RunOutcome::Kind::succeeded, 0, {}, false}},
    };
    EXPECT_EQ(menuText({recentRunsEntry(runs)}),
              "Recent Runs\n  09:40 Veldrin Audit — running\n  09:30 Veldrin — exit code 0\n"
              "  09:20 Cloud Sync — failed, exit code 3\n  09:10 Claude Code Sync — stopped\n"
              "  09:00 Quit All ChatGPT Processes — not saved\n"
              "  08:50 Veldrin Sync — exit code 0, not saved whole\n  ---\n  Show All Runs…\n");
    EXPECT_EQ(menuText({recentRunsEntry({})}),
              "Recent Runs\n  No runs yet [disabled]\n  ---\n  Show All Runs…\n");
    EXPECT_EQ(recentRunsEntry(runs).submenu->entries.front().representedObject, "/r/a");
    // What a saved transcript says of its end.
    EXPECT_EQ(outcomeOfTranscript("x\nStopped by user.\n\nFinished with exit code 9.\n")->kind,
              RunOutcome::Kind::stopped);
    EXPECT_EQ(outcomeOfTranscript("\nFinished with exit code 3.\n")->exitCode, 3);
    EXPECT_EQ(outcomeOfTranscript("All ChatGPT processes have stopped.\n"), std::nullopt);
}

// Runs keep their order whatever the clock's zone, another Veldrin writing in
// the same folder costs neither of them a run, and a run the disk cut short
// says so after a restart.
TEST(History, NoZoneChangeNoOtherVeldrinAndNoFullDiskLosesARunOrHidesThatItWasCut) {
    test::TempHome home;
    const QString folder = home.home() + "/runs";
    // An earlier build's run, named in local time, with its closing line: it
    // lists in its place among runs named in UTC, with its result.
    test::writeFile(folder + "/2026-03-02_090000_Old Audit.log", "x\n\nFinished with exit code 0.\n");
    test::writeFile(folder + "/" + named(at(8, 59), "_Veldrin.log"), "");
    test::writeFile(folder + "/" + named(at(9, 1), "_Veldrin.log"), "");
    const QList<PastRun> all = pastRuns(folder, 10);
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[1].title, "Old Audit");
    EXPECT_EQ(all[1].outcome->exitCode, 0);
    HistoryWriter mine(folder, {.runs = 2, .bytes = 1 << 20});
    HistoryWriter other(folder, {.runs = 2, .bytes = 1 << 20}); // another Veldrin, same folder
    const auto theirs = other.begin("Veldrin Audit", at(9, 10));
    theirs->append("still running\n");
    // Both mean the same name for runs begun in the same second: each gets one.
    const auto a = mine.begin("Veldrin", at(9, 20));
    const auto b = other.begin("Veldrin", at(9, 20));
    a->finish({});
    b->finish({});
    other.flush();
    mine.flush();
    EXPECT_TRUE(a->saved() && b->saved());
    EXPECT_NE(a->path(), b->path());

    // Past the count, pruning takes the oldest runs, but not one being written.
    const auto later = mine.begin("Veldrin", at(9, 40));
    later->finish({});
    mine.flush();
    QStringList left;
    for (const PastRun& run : pastRuns(folder, 10))
        left << QFileInfo(run.path).fileName();
    EXPECT_EQ(left, (QStringList{named(at(9, 40), "_Veldrin.log"), named(at(9, 10), "_Veldrin Audit.log")}));
    EXPECT_EQ(home.readFile("runs/" + QFileInfo(theirs->path()).fileName()), "still running\n");
    theirs->finish({});
    other.flush();

    // The disk refuses the rest of a run (here: a file size limit).
    struct rlimit was {};
    getrlimit(RLIMIT_FSIZE, &was);
    std::signal(SIGXFSZ, SIG_IGN);
    const auto cut = mine.begin("Veldrin Sync", at(9, 50));
    cut->append(QString(50, 'x'));
    mine.flush();
    struct rlimit small = was;
    small.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &small);
    cut->append(QString(500, 'y'));
    mine.flush();
    setrlimit(RLIMIT_FSIZE, &was);
    EXPECT_FALSE(cut->saved());
    cut->finish(controllerOutcome(0, false, std::chrono::seconds(2)));
    mine.flush();
    const QList<PastRun> past = pastRuns(folder, 1);
    ASSERT_EQ(past.size(), 1);
    EXPECT_EQ(recentRunText({past[0].path, past[0].title, past[0].started, false, true, past[0].outcome}),
              "09:50 Veldrin Sync — exit code 0, not saved whole");
}
