// The real binary: --print-menu against a controller script, and --demo in
// its own sandbox, leaving the user's home as it was.
#include "app/BuildInfo.h"
#include "app/Demo.h"
#include "app/PlistWriter.h"
#include "exec/Shell.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

QStringList listTree(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        out << it.filePath() + QLatin1Char(' ') + QString::number(it.fileInfo().size()) + QLatin1Char(' ') +
                   it.fileInfo().lastModified().toString(Qt::ISODateWithMs);
    }
    out.sort();
    return out;
}

// Live processes whose command line mentions `text`.
QStringList processesMentioning(const QString& text) {
    QStringList found;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile f(QStringLiteral("/proc/") + pid + QStringLiteral("/cmdline"));
        if (pid.toInt() > 0 && f.open(QIODevice::ReadOnly) && QString::fromLocal8Bit(f.readAll()).contains(text))
            found << pid;
    }
    return found;
}

// Qt puts its runtime folder below TMPDIR when XDG_RUNTIME_DIR is unset, and
// says so on stderr; give the child one of its own.
struct RuntimeDir {
    QTemporaryDir dir;
    QByteArray old = qgetenv("XDG_RUNTIME_DIR");
    RuntimeDir() { qputenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit()); }
    ~RuntimeDir() { qputenv("XDG_RUNTIME_DIR", old); }
};

QString infoPlist(const QString& bundle) { return bundle + QStringLiteral("/Contents/Info.plist"); }

} // namespace

TEST(PrintMenu, PrintsOneOpeningAndExits) {
    test::TempHome home;
    home.writeController(test::recordingController());
    ASSERT_TRUE(writeInfoPlist(infoPlist(home.systemRoot() + "/Applications/ChatGPT.app"),
                               {{"CFBundleVersion", "27"}}, false));
    ASSERT_TRUE(writeInfoPlist(infoPlist(home.home() + "/Applications/ChatGPT Alt.app"),
                               {{"CFBundleVersion", "27"}}, false));
    ASSERT_TRUE(writeInfoPlist(infoPlist(home.home() + "/Applications/ChatGPT Tri.app"),
                               {{"CFBundleVersion", 26}}, true));

    RuntimeDir runtime;
    const ShellResult r = shell({QStringLiteral(VELDRIN_BINARY), QStringLiteral("--print-menu")}, 60s);
    ASSERT_EQ(r.status, 0) << r.output.toStdString();
    const QStringList lines = r.output.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 29) << r.output.toStdString(); // 28 entries and the final line feed
    EXPECT_EQ(lines[0], QStringLiteral("Ready — click Sync Now [disabled]"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Veldrin ")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(") [disabled]")));
    EXPECT_EQ(lines[2], QStringLiteral("Alt up to date (build 27) [disabled]"));
    EXPECT_EQ(lines[3], QStringLiteral("Tri behind (build 26 → 27) [disabled]"));
    EXPECT_EQ(lines[5], QStringLiteral("Sync All — Codex ↔ Claude Code… [key s]"));
    EXPECT_EQ(lines[27], QStringLiteral("Quit Veldrin [key q]"));
    // One refresh at launch and one for the opening.
    EXPECT_EQ(test::recordedCalls(home), (QList<QStringList>{{"app-processes"}, {"app-processes"}}));
}

TEST(Demo, RunsInItsSandboxAndLeavesTheRealHomeUntouched) {
    test::TempHome realHome;
    realHome.writeScript(QStringLiteral(".config/keep-me"), "mine\n");
    realHome.writeScript(QStringLiteral("bin/veldrin"), "#!/bin/sh\necho real controller must not run >&2\nexit 9\n");
    const QStringList before = listTree(realHome.home());
    RuntimeDir runtime;
    QTemporaryDir tmp;
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", tmp.path().toLocal8Bit());

    const ShellResult r =
        shell({QStringLiteral(VELDRIN_BINARY), QStringLiteral("--demo"), QStringLiteral("--print-menu")}, 90s);
    qputenv("TMPDIR", oldTmp);

    ASSERT_EQ(r.status, 0) << r.output.toStdString();
    // The stand-in apps run, so the state is blocked; the bundles differ by one build.
    EXPECT_TRUE(r.output.contains(QStringLiteral("Cannot sync — ChatGPT is running [disabled]\n")))
        << r.output.toStdString();
    EXPECT_TRUE(r.output.contains(QStringLiteral("\nAlt up to date (build 27) [disabled]\n")));
    EXPECT_TRUE(r.output.contains(QStringLiteral("\nTri behind (build 26 → 27) [disabled]\n")));
    EXPECT_FALSE(r.output.contains(QStringLiteral("real controller")));

    EXPECT_EQ(listTree(realHome.home()), before);
    EXPECT_TRUE(QDir(tmp.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        << listTree(tmp.path()).join('\n').toStdString();
    EXPECT_TRUE(test::waitUntil([&] { return processesMentioning(tmp.path()).isEmpty(); }, 5s))
        << processesMentioning(tmp.path()).join(' ').toStdString();
}
