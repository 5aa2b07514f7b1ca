// Hostile Info.plist files: too large, too deep, cyclic, lying about their own
// layout, or plain noise. Each must read as build "0" without harm.

#include "app/PlistGuard.h"
#include "app/BuildInfo.h"
#include "app/PlistWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

#include <functional>

// Failures show the texts, not their bytes.
static void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace veldrin {
namespace {

class HostilePlists : public ::testing::Test {
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
    qint64 writtenSize() const { return QFileInfo(plistPath()).size(); }
};

// --- a binary property list built byte by byte, 1-byte offsets and refs ---

QByteArray ascii(const QByteArray& s) {
    if (s.size() < 15)
        return char(0x50 | s.size()) + s;
    return QByteArray("\x5F\x10", 2) + char(s.size()) + s;
}
QByteArray refs(char marker, const QList<int>& objects) {
    QByteArray out(1, marker);
    for (int r : objects)
        out += char(r);
    return out;
}
QByteArray array(const QList<int>& items) {
    return refs(char(0xA0 | items.size()), items);
}
QByteArray dict(const QList<int>& keys, const QList<int>& values) {
    return refs(char(0xD0 | keys.size()), keys + values);
}

QByteArray bplist(const QList<QByteArray>& objects, int top = 0) {
    QByteArray out = "bplist00";
    QByteArray offsets;
    for (const QByteArray& o : objects) {
        offsets += char(out.size());
        out += o;
    }
    EXPECT_LT(out.size(), 256);
    const qint64 table = out.size();
    out += offsets;
    QByteArray trailer(32, '\0');
    trailer[6] = 1; // offset size
    trailer[7] = 1; // reference size
    trailer[15] = char(objects.size());
    trailer[23] = char(top);
    trailer[31] = char(table);
    return out + trailer;
}

// {"CFBundleVersion": "27"}: the dict, its key, its value.
const QList<QByteArray> versionDict = {dict({1}, {2}), ascii("CFBundleVersion"), ascii("27")};

TEST_F(HostilePlists, FilesOverOneMebibyteAreRefused) {
    for (const bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary" : "XML");
        // Pad a real Info.plist until the file is exactly 1 MiB.
        qsizetype pad = 1000;
        for (int round = 0; round < 5 && (round == 0 || writtenSize() != plistMaxBytes); ++round) {
            if (round > 0)
                pad += plistMaxBytes - writtenSize();
            readWritten({{"CFBundleVersion", "27"}, {"Padding", QString(pad, 'x')}}, binary);
        }
        ASSERT_EQ(writtenSize(), plistMaxBytes);
        EXPECT_EQ(build(bundle()), "27");
        EXPECT_EQ(readWritten({{"CFBundleVersion", "27"}, {"Padding", QString(pad + 1, 'x')}}, binary), "0");
    }
}

QVariant nested(int levels, bool asLists) {
    QVariant inner = asLists ? QVariant(QVariantList{}) : QVariant(QVariantMap{});
    for (int i = 1; i < levels; ++i)
        inner = asLists ? QVariant(QVariantList{inner}) : QVariant(QVariantMap{{"n", inner}});
    return inner;
}

TEST_F(HostilePlists, NestingBeyondSixtyFourLevelsIsRefused) {
    // The root dictionary is level one; an empty container still counts.
    for (const bool binary : {false, true}) {
        for (const bool asLists : {false, true}) {
            SCOPED_TRACE(std::string(binary ? "binary" : "XML") + (asLists ? " arrays" : " dicts"));
            EXPECT_EQ(readWritten({{"CFBundleVersion", "27"}, {"n", nested(63, asLists)}}, binary), "27");
            EXPECT_EQ(readWritten({{"CFBundleVersion", "27"}, {"n", nested(64, asLists)}}, binary), "0");
        }
    }
}

TEST_F(HostilePlists, XmlDepthCountsElementsOnly) {
    // Root dict plus `levels - 1` nested dicts around `innermost`.
    const auto xml = [](int levels, const QByteArray& innermost) {
        QByteArray out =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC "
            "\"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
            "<plist version=\"1.0\">\n<dict><key>CFBundleVersion</key><string>27</string>";
        for (int i = 1; i < levels; ++i)
            out += "<key>n</key><dict>";
        out += innermost;
        for (int i = 1; i < levels; ++i)
            out += "</dict>";
        return out + "</dict>\n</plist>\n";
    };
    const QByteArray hidden = "<!-- <dict><array> --><key>s</key><string><![CDATA[<dict><array>]]></string>";
    EXPECT_EQ(readRaw(xml(64, hidden)), "27");
    EXPECT_EQ(readRaw(xml(63, "<key>e</key><dict/>")), "27");
    EXPECT_EQ(readRaw(xml(64, "<key>e</key><dict/>")), "0");
    EXPECT_EQ(readRaw(xml(65, "")), "0");
    // Where readers could disagree about what is markup, the file is refused.
    EXPECT_EQ(readRaw(xml(2, "<key>e</key><dict a=\">\"></dict>")), "0");
    EXPECT_EQ(readRaw(xml(2, "<![CDATA[<dict>]]>")), "0");
    EXPECT_EQ(readRaw("<!DOCTYPE plist [ <!ENTITY a \"b\"> ]>" + xml(2, "")), "0");
    EXPECT_EQ(readRaw(xml(2, "<key>e</key><dict></array>")), "0");
}

TEST_F(HostilePlists, HandBuiltBinaryListsAreChecked) {
    ASSERT_EQ(readRaw(bplist(versionDict)), "27");
    // A root that is not a dictionary.
    EXPECT_EQ(readRaw(bplist({array({1}), ascii("27")})), "0");

    // Cycles: an array holding itself, two arrays holding each other, a dict
    // whose key is the dict itself.
    EXPECT_EQ(readRaw(bplist({dict({1}, {2}), ascii("CFBundleVersion"), array({2})})), "0");
    EXPECT_EQ(readRaw(bplist({dict({1}, {2}), ascii("CFBundleVersion"), array({3}), array({2})})), "0");
    EXPECT_EQ(readRaw(bplist({dict({0}, {1}), ascii("27")})), "0");

    // Sharing is fine within reason, but not when it unfolds exponentially:
    // 40 arrays, each holding the next one twice.
    QList<QByteArray> shared = {dict({1, 3}, {2, 2}), ascii("CFBundleVersion"), ascii("27"), ascii("Copy")};
    EXPECT_EQ(readRaw(bplist(shared)), "27");
    QList<QByteArray> bomb = {dict({1, 3}, {2, 4}), ascii("CFBundleVersion"), ascii("27"), ascii("Bomb")};
    for (int i = 0; i < 40; ++i)
        bomb.append(array({5 + i, 5 + i}));
    bomb.append(ascii("x"));
    EXPECT_EQ(readRaw(bplist(bomb)), "0");
}

TEST_F(HostilePlists, BinaryListsThatLieAboutTheirLayoutAreRefused) {
    const QByteArray good = bplist(versionDict);
    const qsizetype trailer = good.size() - 32;
    const qsizetype table = 8 + versionDict[0].size() + versionDict[1].size() + versionDict[2].size();
    const std::pair<const char*, std::function<void(QByteArray&)>> lies[] = {
        {"offset past the table", [&](QByteArray& b) { b[table + 2] = char(table + 5); }},
        {"reference past the objects", [&](QByteArray& b) { b[9] = 7; }},
        {"top object past the objects", [&](QByteArray& b) { b[trailer + 23] = 3; }},
        {"huge object count", [&](QByteArray& b) { b[trailer + 8] = char(0x7F); }},
        {"table past the end", [&](QByteArray& b) { b[trailer + 24] = char(0xFF); }},
        {"offset size 9", [&](QByteArray& b) { b[trailer + 6] = 9; }},
        {"string longer than the data", [&](QByteArray& b) { b[table - 3] = char(0x5E); }},
        {"dict with more entries than bytes", [&](QByteArray& b) { b[8] = char(0xDE); }},
        {"unknown object type", [&](QByteArray& b) { b[table - 3] = char(0x70); }},
        {"trailer cut short", [&](QByteArray& b) { b.chop(1); }},
    };
    for (const auto& [what, lie] : lies) {
        QByteArray bytes = good;
        lie(bytes);
        EXPECT_EQ(readRaw(bytes), "0") << what;
    }
}

TEST(PlistMutations, DamagedCopiesOfRealFilesNeverHurt) {
    // Byte flips, cuts and splices of real Info.plists, straight into the
    // reader; run under a sanitizer this is what finds a missed bound.
    QTemporaryDir dir;
    const QVariantMap info{{"CFBundleVersion", "27"},
                           {"CFBundleShortVersionString", "1.2"},
                           {"LSMinimumSystemVersion", 14},
                           {"Nested", QVariantMap{{"a", QVariantList{1, "b", true}}}},
                           {"Icon", QByteArray("\x01\x02")}};
    QRandomGenerator random(7);
    for (const bool binary : {false, true}) {
        ASSERT_TRUE(writeInfoPlist(dir.filePath("Info.plist"), info, binary));
        QFile f(dir.filePath("Info.plist"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray original = f.readAll();
        ASSERT_EQ(buildFromInfoPlist(original), "27");
        for (int i = 0; i < 3000; ++i) {
            QByteArray bytes = original;
            const int edits = random.bounded(1, 4);
            for (int e = 0; e < edits && !bytes.isEmpty(); ++e) {
                const auto at = random.bounded(bytes.size());
                switch (random.bounded(3)) {
                case 0:
                    bytes[at] = char(random.bounded(256));
                    break;
                case 1:
                    bytes.truncate(at);
                    break;
                default:
                    bytes.insert(at, bytes.mid(random.bounded(bytes.size()), random.bounded(16)));
                }
            }
            buildFromInfoPlist(bytes);
        }
    }
}

} // namespace
} // namespace veldrin
