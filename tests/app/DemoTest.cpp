// `veldrin --demo`: its sandbox, the stand-ins it starts and ends, and the
// sandboxes of demos that died without tidying up.
#include "app/Demo.h"
#include "app/DemoApps.h"
#include "exec/Shell.h"
#include "exec/Spawn.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

using namespace veldrin;
using namespace std::chrono_literals;

namespace {

QStringList listTree(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        out << it.filePath() + ' ' + QString::number(it.fileInfo().size()) + ' ' +
                   it.fileInfo().lastModified().toString(Qt::ISODateWithMs);
    }
    out.sort();
    return out;
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
}

QString firstLine(int fd) {
    QByteArray line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return QString::fromUtf8(line);
}

} // namespace

TEST(Demo, RunsInItsOwnSandboxEndsOnlyWhatItStartedAndClearsWhatDeadDemosLeft) {
    test::TempHome realHome;
    realHome.writeScript("bin/veldrin", "#!/bin/sh\necho real controller must not run >&2\nexit 9\n");
    const QStringList before = listTree(realHome.home());
    QTemporaryDir tmp;
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));

    // A demo that died with SIGKILL: its owner is gone, its stand-ins still run.
    const QString dead = tmp.path() + "/veldrin-demo-dead";
    const SpawnResult gone = spawnWithPipe({"/bin/true"});
    waitForExit(gone.pid);
    close(gone.readFd);
    QString error;
    ASSERT_TRUE(layOutSandbox(dead + "/home", dead + "/system", &error)) << error.toStdString();
    writeFile(dead + "/owner", QByteArray::number(gone.pid) + " 1\n");
    qputenv("HOME", QFile::encodeName(dead + "/home"));
    qputenv("VELDRIN_SYSTEM_ROOT", QFile::encodeName(dead + "/system"));
    DemoApps orphans;
    ASSERT_TRUE(orphans.start(&error)) << error.toStdString();
    qputenv("HOME", QFile::encodeName(realHome.home()));
    qputenv("VELDRIN_SYSTEM_ROOT", QFile::encodeName(realHome.systemRoot()));

    // A running demo, with an unrelated process planted among its stand-ins.
    const SpawnResult running = spawnWithPipe({VELDRIN_BINARY, "--demo"});
    const QString line = firstLine(running.readFd);
    ASSERT_TRUE(line.startsWith("Veldrin demo: sandbox in ")) << line.toStdString();
    const QString sandbox = line.section(' ', 4, 4);
    QStringList standIns;
    ASSERT_TRUE(test::waitUntil([&] {
        standIns = QDir(sandbox + "/home/.sim/apps").entryList(QDir::Files);
        return standIns.size() == 3;
    }));
    const SpawnResult bystander = spawnWithPipe({"/bin/sleep", "60"});
    writeFile(sandbox + "/home/.sim/apps/" + QString::number(bystander.pid), "ChatGPT\n");

    // A second demo clears the dead one's sandbox, whose stand-ins then leave, and leaves the running one's.
    const ShellResult printed = shell({VELDRIN_BINARY, "--demo", "--print-menu"}, {60s, 1 << 20});
    EXPECT_TRUE(printed.output.contains("\nTri behind (build 26 → 27) [disabled]\n"))
        << printed.output.toStdString();
    EXPECT_FALSE(printed.output.contains("real controller"));
    EXPECT_FALSE(QFileInfo::exists(dead));
    for (const pid_t pid : orphans.running())
        EXPECT_TRUE(test::waitUntil([&] { return !test::processAlive(pid); }, 5s)) << pid;
    EXPECT_TRUE(QFileInfo::exists(sandbox));

    // Quitting ends its own stand-ins and removes its sandbox; the planted one lives.
    ::kill(running.pid, SIGTERM);
    EXPECT_EQ(waitForExit(running.pid), 0);
    close(running.readFd);
    EXPECT_FALSE(QFileInfo::exists(sandbox));
    for (const QString& pid : standIns)
        EXPECT_FALSE(test::processAlive(pid.toLongLong())) << pid.toStdString();
    EXPECT_TRUE(test::processAlive(bystander.pid));
    test::killProcess(bystander.pid);
    waitForExit(bystander.pid);
    close(bystander.readFd);

    qputenv("TMPDIR", oldTmp);
    EXPECT_EQ(listTree(realHome.home()), before);
    EXPECT_TRUE(QDir(tmp.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}
