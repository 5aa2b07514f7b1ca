// Builds read from Info.plist files: every value kind, every format, and
// hostile files that are too large, too deep, cyclic or lying about their own
// layout. A failure always reads as build "0", never as harm.
#include "plist/InfoPlist.h"
#include "plist/PlistGuard.h"
#include "plist/PlistWriter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <functional>
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
        QVariant value;
        QString shown;
    } cases[] = {
        // clang-format off
        {"27", "27"}, {" 27\n", " 27\n"}, {"27β", "27β"},
        {27, "27"}, {-5, "-5"}, {std::numeric_limits<quint64>::max(), "18446744073709551615"},
        {27.0, "27"}, {27.5, "27.5"}, {0.1, "0.1"}, {100000.0, "100000"}, {0.0001, "0.0001"}, {1e20, "1e+20"},
        {true, "0"}, {QByteArray("27"), "0"}, {QVariantList{"27"}, "0"}, {QVariantMap{{"v", "27"}}, "0"},
        // clang-format on
    };
    for (const bool binary : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE((binary ? "binary " : "XML ") + c.shown.toStdString() + " " + c.value.typeName());
            EXPECT_EQ(readWritten({{"CFBundleVersion", c.value}, {"CFBundleName", "ChatGPT"}}, binary),
                      c.shown);
        }
        EXPECT_EQ(readWritten({{"CFBundleName", "ChatGPT"}}, binary), "0"); // no such key
    }
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

TEST_F(InfoPlist, MissingOrUnreadableFilesReadAsZero) {
    EXPECT_EQ(build(bundle()), "0");
    EXPECT_EQ(readRaw(xmlHead + "<array><string>27</string></array>\n</plist>\n"), "0");
    QFile::remove(plistPath());
    QDir().mkpath(plistPath()); // a folder in its place
    EXPECT_EQ(build(bundle()), "0");
    QDir(plistPath()).removeRecursively();
    ASSERT_EQ(::mkfifo(QFile::encodeName(plistPath()).constData(), 0600), 0); // must not hang
    EXPECT_EQ(build(bundle()), "0");
}

TEST_F(InfoPlist, FilesOverOneMebibyteAreRefused) {
    const QByteArray before =
        xmlHead + "<dict><key>CFBundleVersion</key><string>27</string><key>Pad</key><string>";
    const QByteArray after = "</string></dict></plist>\n";
    const QByteArray exact = before + QByteArray(plistMaxBytes - before.size() - after.size(), 'x') + after;
    EXPECT_EQ(readRaw(exact), "27");
    EXPECT_EQ(readRaw(before + 'x' + exact.mid(before.size())), "0");
}

QVariant nested(int levels, bool asLists) {
    QVariant inner = asLists ? QVariant(QVariantList{}) : QVariant(QVariantMap{});
    for (int i = 1; i < levels; ++i)
        inner = asLists ? QVariant(QVariantList{inner}) : QVariant(QVariantMap{{"n", inner}});
    return inner;
}

TEST_F(InfoPlist, NestingBeyondSixtyFourLevelsIsRefused) {
    for (const bool binary : {false, true}) {
        for (const bool asLists : {false, true}) {
            SCOPED_TRACE(std::string(binary ? "binary" : "XML") + (asLists ? " arrays" : " dicts"));
            EXPECT_EQ(readWritten({{"CFBundleVersion", "27"}, {"n", nested(63, asLists)}}, binary), "27");
            EXPECT_EQ(readWritten({{"CFBundleVersion", "27"}, {"n", nested(64, asLists)}}, binary), "0");
        }
    }
    // Where two readers could disagree about what is markup, the file is refused.
    EXPECT_EQ(readRaw(xmlBuild("<string>27</string><key>e</key><dict a=\">\"></dict>")), "0");
    EXPECT_EQ(readRaw(xmlBuild("<![CDATA[<dict>]]>")), "0");
    EXPECT_EQ(readRaw("<!DOCTYPE plist [ <!ENTITY a \"b\"> ]>" + xmlBuild("<string>27</string>")), "0");
}

// A binary list built byte by byte, with 1-byte offsets and references.
QByteArray ascii(const QByteArray& s) {
    return s.size() < 15 ? char(0x50 | s.size()) + s : QByteArray("\x5F\x10", 2) + char(s.size()) + s;
}
QByteArray refs(int marker, const QList<int>& objects) {
    QByteArray out(1, char(marker));
    for (int r : objects)
        out += char(r);
    return out;
}
QByteArray bplist(const QList<QByteArray>& objects) {
    QByteArray out = "bplist00";
    QByteArray offsets;
    for (const QByteArray& o : objects) {
        offsets += char(out.size());
        out += o;
    }
    const auto table = out.size();
    out += offsets;
    QByteArray trailer(32, '\0');
    trailer[6] = trailer[7] = 1;
    trailer[15] = char(objects.size());
    trailer[31] = char(table);
    return out + trailer;
}

TEST_F(InfoPlist, BinaryListsThatLoopOrLieAboutTheirLayoutAreRefused) {
    const QList<QByteArray> version = {refs(0xD1, {1, 2}), ascii("CFBundleVersion"), ascii("27")};
    const QByteArray good = bplist(version);
    ASSERT_EQ(readRaw(good), "27");
    // An array holding itself; a dict whose key is the dict itself.
    EXPECT_EQ(readRaw(bplist({refs(0xD1, {1, 2}), ascii("CFBundleVersion"), refs(0xA1, {2})})), "0");
    EXPECT_EQ(readRaw(bplist({refs(0xD1, {0, 1}), ascii("27")})), "0");
    // 40 arrays each holding the next twice would unfold to 2^40 objects.
    QList<QByteArray> bomb = {refs(0xD2, {1, 3, 2, 4}), ascii("CFBundleVersion"), ascii("27"), ascii("Bomb")};
    for (int i = 0; i < 40; ++i)
        bomb.append(refs(0xA2, {5 + i, 5 + i}));
    bomb.append(ascii("x"));
    EXPECT_EQ(readRaw(bplist(bomb)), "0");

    const qsizetype trailer = good.size() - 32;
    const qsizetype table = trailer - 3;
    const std::pair<const char*, std::function<void(QByteArray&)>> lies[] = {
        {"offset past the table", [&](QByteArray& b) { b[table + 2] = char(table + 5); }},
        {"reference past the objects", [&](QByteArray& b) { b[9] = 7; }},
        {"top object past the objects", [&](QByteArray& b) { b[trailer + 23] = 3; }},
        {"string longer than the data", [&](QByteArray& b) { b[table - 3] = char(0x5E); }},
        {"trailer cut short", [&](QByteArray& b) { b.chop(1); }},
    };
    for (const auto& [what, lie] : lies) {
        QByteArray bytes = good;
        lie(bytes);
        EXPECT_EQ(readRaw(bytes), "0") << what;
    }
}

} // namespace
} // namespace veldrin
