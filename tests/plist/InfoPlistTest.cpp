// Builds read from Info.plist files: every value kind, every format, and
// files that are too large or ambiguous. A failure always reads as build "0",
// never as harm. (Lists nested past 64 levels, and binary lists that loop or
// lie about their layout, are fuzz/corpus/fuzz_info_plist's seeds, checked at
// every fuzzing run against the promise that what the check refuses reads "0".)
#include "plist/InfoPlist.h"
#include "plist/PlistGuard.h"
#include "plist/PlistWriter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <limits>
#include <sys/stat.h>

namespace veldrin {
namespace {

class InfoPlist : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString bundle() const { return dir.filePath("ChatGPT Alt.app"); }
    QString plistPath() const { return bundle() + "/Contents/Info.plist"; }

    QString readWritten(const QVariantMap& info, bool binary) {
        EXPECT_TRUE(writeInfoPlist(plistPath(), info, binary));
        return build(bundle());
    }
    QString readRaw(const QByteArray& bytes) {
        QDir().mkpath(bundle() + "/Contents");
        QFile f(plistPath());
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        return build(bundle());
    }
};

const QByteArray xmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n";
QByteArray xmlBuild(const QByteArray& value) {
    return xmlHead + "<dict><key>CFBundleVersion</key>" + value + "</dict></plist>\n";
}

TEST_F(InfoPlist, TextsAsTheyStandNumbersInDecimalAndTheRestAsZero) {
    const struct {
        QByteArray value;
        QString shown;
    } cases[] = {
        // clang-format off
        {"<string>27</string>", "27"}, {"<string> 27\n</string>", " 27\n"}, {"<string>27β</string>", "27β"},
        {"<integer>27</integer>", "27"}, {"<integer>-5</integer>", "-5"},
        {"<integer>18446744073709551615</integer>", "18446744073709551615"},
        {"<real>27.0</real>", "27"}, {"<real>27.5</real>", "27.5"}, {"<real>0.1</real>", "0.1"},
        {"<real>100000</real>", "100000"}, {"<real>0.0001</real>", "0.0001"}, {"<real>1e20</real>", "1e+20"},
        {"<true/>", "0"}, {"<data>Mjc=</data>", "0"}, {"<array><string>27</string></array>", "0"},
        {"<dict><key>v</key><string>27</string></dict>", "0"},
        // clang-format on
    };
    for (const auto& c : cases)
        EXPECT_EQ(readRaw(xmlBuild(c.value)), c.shown) << c.value.toStdString();
    EXPECT_EQ(readRaw(xmlHead + "<dict><key>CFBundleName</key><string>ChatGPT</string></dict></plist>\n"),
              "0");
}

TEST_F(InfoPlist, ByteOrderMarkAndDecimalCommaLocalesDoNotChangeTheReading) {
    EXPECT_EQ(readRaw("\xEF\xBB\xBF" + xmlBuild("<string>27</string>")), "27");
    EXPECT_EQ(readRaw("\xEF\xBB\xBF" + xmlBuild("<real>27.5</real>")), "27.5");

    // libplist reads <real> with the C library, which follows the locale.
    QTemporaryDir locales;
    QProcess localedef;
    localedef.start("localedef", {"-i", "de_DE", "-f", "UTF-8", locales.filePath("de_DE.UTF-8")});
    if (!localedef.waitForFinished(60000) || localedef.exitCode() != 0)
        GTEST_SKIP() << "no de_DE locale source to build one from";
    qputenv("LOCPATH", locales.path().toLocal8Bit());
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
    EXPECT_EQ(readRaw(xmlBuild("<real>27.5</real>")), "27.5");
    EXPECT_EQ(readWritten({{"CFBundleVersion", 27.25}}, false), "27.25");
    std::setlocale(LC_NUMERIC, "C");
    qunsetenv("LOCPATH");
}

TEST_F(InfoPlist, MissingUnreadableOrOversizedFilesReadAsZero) {
    EXPECT_EQ(build(bundle()), "0");
    EXPECT_EQ(readRaw(xmlHead + "<array><string>27</string></array>\n</plist>\n"), "0");
    // Where two readers could disagree about what is markup, the file is refused.
    EXPECT_EQ(readRaw(xmlBuild("<string>27</string><key>e</key><dict a=\">\"></dict>")), "0");
    EXPECT_EQ(readRaw(xmlBuild("<![CDATA[<dict>]]>")), "0");
    EXPECT_EQ(readRaw("<!DOCTYPE plist [ <!ENTITY a \"b\"> ]>" + xmlBuild("<string>27</string>")), "0");
    const QByteArray padded = xmlBuild("<string>27</string><key>Pad</key><string>%</string>");
    EXPECT_EQ(readRaw(QByteArray(padded).replace("%", QByteArray(plistMaxBytes - padded.size() + 1, 'x'))),
              "27");
    EXPECT_EQ(readRaw(QByteArray(padded).replace("%", QByteArray(plistMaxBytes - padded.size() + 2, 'x'))),
              "0");
    QFile::remove(plistPath());
    QDir().mkpath(plistPath()); // a folder in its place
    EXPECT_EQ(build(bundle()), "0");
    QDir(plistPath()).removeRecursively();
    ASSERT_EQ(::mkfifo(QFile::encodeName(plistPath()).constData(), 0600), 0); // must not hang
    EXPECT_EQ(build(bundle()), "0");
}

// Openings read the same files again and again; a file left alone for a
// second is not parsed again, yet every kind of upgrade shows at once: a new
// file in its place (even with the old one's time and size, as an archive
// restores it), and the old file written over with its time set back.
TEST_F(InfoPlist, AnUpgradeShowsAtTheNextReadingWhateverTimeAndSizeItsFileHas) {
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    const auto backdate = [&](const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(hourAgo, QFileDevice::FileModificationTime));
    };
    const auto settle = [] { QThread::msleep(1100); }; // until a reading is remembered
    ASSERT_EQ(readRaw(xmlBuild("<string>26</string>")), "26");
    backdate(plistPath());
    settle();
    EXPECT_EQ(build(bundle()), "26");

    const QString replacement = dir.filePath("Info.plist.new");
    QFile f(replacement);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(xmlBuild("<string>27</string>"));
    f.close();
    backdate(replacement);
    ASSERT_EQ(
        ::rename(QFile::encodeName(replacement).constData(), QFile::encodeName(plistPath()).constData()), 0);
    EXPECT_EQ(build(bundle()), "27");

    settle();
    EXPECT_EQ(build(bundle()), "27");
    QFile in(plistPath());
    ASSERT_TRUE(in.open(QIODevice::ReadWrite));
    in.write(xmlBuild("<string>28</string>")); // the same size, over it
    in.close();
    backdate(plistPath());
    EXPECT_EQ(build(bundle()), "28");
}

} // namespace
} // namespace veldrin
