// Opening a folder through xdg-open: a stand-in xdg-open script on PATH
// answers as the real one does, and what the user is told follows its exit status.
#include "exec/Spawn.h"
#include "platform/DesktopWorkspace.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace veldrin;

#if !defined(Q_OS_MACOS)
namespace {

class PathSetter {
public:
    explicit PathSetter(const QString& path) : old(qgetenv("PATH")) { qputenv("PATH", path.toLocal8Bit()); }
    ~PathSetter() { qputenv("PATH", old); }

private:
    QByteArray old;
};

} // namespace

TEST(Workspace, OpensAFolderWithXdgOpenAndSaysPlainlyWhyItCouldNot) {
    const test::TempHome home;
    const QString folder = home.home() + "/runs $HOME 'x'";
    const QString bin = home.home() + "/bin";
    const PathSetter path(bin); // and not the real xdg-open
    const std::pair<QByteArray, std::optional<QString>> answers[] = {
        {"exit 0", std::nullopt},
        {"exit 3", "No file manager was found to show " + folder + "."},
        {"exit 4", "The file manager could not open " + folder + "."},
        {"exit 1", "The folder " + folder + " could not be opened (xdg-open exit code 1)."},
        // A file manager run in xdg-open's foreground: shown, once the bound has passed.
        {"echo $$ >\"$HOME/fm.pid\"; exec /bin/sleep 30", std::nullopt},
    };
    const auto workspace = makeWorkspace(spawnInOwnSession, 300ms);
    for (const auto& [script, expected] : answers) {
        home.writeScript("bin/xdg-open",
                         "#!/bin/sh\nprintf '%s\\n' \"$@\" >\"$HOME/args\"\n" + script + "\n");
        std::optional<std::optional<QString>> told;
        workspace->openFolder(folder, [&](const std::optional<QString>& error) { told = error; });
        ASSERT_TRUE(test::waitUntil([&] { return told.has_value(); })) << script.constData();
        EXPECT_EQ(*told, expected) << script.constData();
        EXPECT_EQ(home.readFile("args"), folder.toUtf8() + "\n");
    }
    const qint64 fileManager = home.readFile("fm.pid").trimmed().toLongLong();
    EXPECT_TRUE(test::processAlive(fileManager)) << "left running";
    test::killProcess(fileManager);

    QFile::remove(bin + "/xdg-open");
    std::optional<QString> told;
    workspace->openFolder(folder, [&](const std::optional<QString>& error) { told = error; });
    EXPECT_EQ(told, "No file manager could be started to show " + folder + ": xdg-open is not installed.");
}
#endif
