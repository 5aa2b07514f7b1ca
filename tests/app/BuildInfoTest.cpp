// The build labels as the menu shows them, read from real Info.plist files in
// a temporary folder, and the version label from the bundle information.

#include "app/BuildInfo.h"
#include "app/PlistWriter.h"
#include "platform/Platform.h"
#include "support/Fakes.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <ostream>

#include <cstdint>
#include <limits>

#include <sys/stat.h>

// Failures show the texts, not their bytes.
static void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace veldrin {
namespace {

using test::TempHome;

// The three bundles where the application looks for them, below a temporary
// home and system root.
struct Bundles {
    TempHome home;
    QString primary = home.systemRoot() + "/Applications/ChatGPT.app";
    QString alt = home.home() + "/Applications/ChatGPT Alt.app";
    QString tri = home.home() + "/Applications/ChatGPT Tri.app";

    static QString infoPlist(const QString& bundle) { return bundle + "/Contents/Info.plist"; }

    static void setBuild(const QString& bundle, const QVariant& build, bool binary) {
        QVariantMap info{{"CFBundleIdentifier", "com.openai.codex"}, {"CFBundleName", "ChatGPT"}};
        if (build.isValid())
            info.insert("CFBundleVersion", build);
        ASSERT_TRUE(writeInfoPlist(infoPlist(bundle), info, binary));
    }

    static void setRaw(const QString& bundle, const QByteArray& bytes) {
        QDir().mkpath(bundle + "/Contents");
        QFile f(infoPlist(bundle));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    QString altLine() const { return buildLine("Alt", build(alt), build(primary)); }
    QString triLine() const { return buildLine("Tri", build(tri), build(primary)); }
};

TEST(BuildLines, CompareTheBuildsAsPlainText) {
    for (const bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary" : "XML");
        Bundles b;
        Bundles::setBuild(b.primary, "27", binary);
        Bundles::setBuild(b.alt, "27", binary);
        Bundles::setBuild(b.tri, "27.0", binary);
        EXPECT_EQ(b.altLine(), "Alt up to date (build 27)");
        EXPECT_EQ(b.triLine(), "Tri behind (build 27.0 → 27)");

        // A newer Alt is still behind, the arrow pointing at Primary's build.
        Bundles::setBuild(b.alt, "28", binary);
        EXPECT_EQ(b.altLine(), "Alt behind (build 28 → 27)");
        // Texts are neither trimmed nor validated.
        Bundles::setBuild(b.tri, " 27\n", binary);
        EXPECT_EQ(b.triLine(), "Tri behind (build  27\n → 27)");
        Bundles::setBuild(b.primary, "27β", binary);
        EXPECT_EQ(build(b.primary), "27β");
    }
}

TEST(BuildLines, MissingBundlesReadAsBuildZero) {
    Bundles b;
    EXPECT_EQ(b.altLine(), "Alt up to date (build 0)");
    EXPECT_EQ(b.triLine(), "Tri up to date (build 0)");

    Bundles::setBuild(b.primary, "27", false);
    EXPECT_EQ(b.altLine(), "Alt behind (build 0 → 27)");
    EXPECT_EQ(b.triLine(), "Tri behind (build 0 → 27)");

    // A bundle folder without Info.plist, or with one lacking the key.
    QDir().mkpath(b.alt + "/Contents");
    Bundles::setBuild(b.tri, QVariant(), true);
    EXPECT_EQ(b.altLine(), "Alt behind (build 0 → 27)");
    EXPECT_EQ(b.triLine(), "Tri behind (build 0 → 27)");
}

TEST(BuildValues, IntegersShowInDecimal) {
    const struct {
        QVariant value;
        QString shown;
    } cases[] = {
        {27, "27"},
        {-5, "-5"},
        {std::numeric_limits<quint64>::max(), "18446744073709551615"},
    };
    for (const bool binary : {false, true}) {
        Bundles b;
        for (const auto& c : cases) {
            SCOPED_TRACE((binary ? "binary " : "XML ") + c.shown.toStdString());
            Bundles::setBuild(b.primary, c.value, binary);
            EXPECT_EQ(build(b.primary), c.shown);
        }
        Bundles::setBuild(b.alt, 27, binary);
        Bundles::setBuild(b.primary, "27", !binary);
        EXPECT_EQ(b.altLine(), "Alt up to date (build 27)");
    }
}

TEST(BuildValues, AnythingButATextOrIntegerReadsAsZero) {
    const QVariant others[] = {true, 27.0, QByteArray("27"), QVariantList{"27"}, QVariantMap{{"v", "27"}}};
    for (const bool binary : {false, true}) {
        Bundles b;
        for (const QVariant& v : others) {
            SCOPED_TRACE(std::string(binary ? "binary " : "XML ") + v.typeName());
            Bundles::setBuild(b.primary, v, binary);
            EXPECT_EQ(build(b.primary), "0");
        }
    }
}

TEST(BuildValues, UnreadableInfoPlistsReadAsZero) {
    const QByteArray xmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n";
    Bundles b;
    Bundles::setRaw(b.primary, xmlHead + "<array><string>27</string></array>\n</plist>\n");
    EXPECT_EQ(build(b.primary), "0");
    const QByteArray good = xmlHead + "<dict><key>CFBundleVersion</key><string>27</string></dict></plist>\n";
    Bundles::setRaw(b.primary, good);
    EXPECT_EQ(build(b.primary), "27");

    // A folder, an unreadable file and a FIFO in place of the file: none may
    // hang or fail loudly.
    QDir().mkpath(Bundles::infoPlist(b.alt));
    EXPECT_EQ(build(b.alt), "0");
    QFile::remove(Bundles::infoPlist(b.primary));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Bundles::infoPlist(b.primary)).constData(), 0600), 0);
    EXPECT_EQ(build(b.primary), "0");
}

TEST(VersionLabel, ShowsTextsAsTheyAreAndUnknownForTheRest) {
    test::FakeBundleInfo info;
    info.values = {{"CFBundleShortVersionString", " 2.0 "}, {"CFBundleVersion", "7"}};
    EXPECT_EQ(appVersionLabel(info), "Veldrin  2.0  (build 7)");
    info.values = {{"CFBundleShortVersionString", 2}};
    EXPECT_EQ(appVersionLabel(info), "Veldrin unknown (build unknown)");
    EXPECT_EQ(composeVersionLabel(QByteArray("1.0"), QStringList{"7"}), "Veldrin unknown (build unknown)");
}

} // namespace
} // namespace veldrin
