#include "app/Demo.h"

#include "exec/Shell.h"
#include "platform/PlistWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariantMap>

#include <csignal>
#include <cstdlib>

namespace veldrin {

namespace {

bool copyResource(const QString& resource, const QString& target, QString* error) {
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile in(resource);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write ") + target;
        return false;
    }
    out.write(in.readAll());
    out.close();
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                       QFileDevice::ReadGroup | QFileDevice::ExeGroup);
    return true;
}

bool makeBundle(const QString& bundle, const QString& executable, const QString& identifier,
                const QString& build, bool binaryPlist, QString* error) {
    const QVariantMap info{
        {QStringLiteral("CFBundleExecutable"), executable},
        {QStringLiteral("CFBundleIdentifier"), identifier},
        {QStringLiteral("CFBundleName"), executable},
        {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("1.2025.") + build},
        {QStringLiteral("CFBundleVersion"), build},
    };
    if (!writeInfoPlist(bundle + QStringLiteral("/Contents/Info.plist"), info, binaryPlist)) {
        *error = QStringLiteral("cannot write ") + bundle + QStringLiteral("/Contents/Info.plist");
        return false;
    }
    return copyResource(QStringLiteral(":/sim/standin-app"),
                        bundle + QStringLiteral("/Contents/MacOS/") + executable, error);
}

bool writeFile(const QString& path, const QByteArray& content, QString* error) {
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(content) != content.size()) {
        *error = QStringLiteral("cannot write ") + path;
        return false;
    }
    return true;
}

// The Codex apps' own lists of local projects, as the offer choice reads them:
// a name with markup characters, two projects of the same name, mixed case.
bool writeDemoProjects(const QString& home, QString* error) {
    return writeFile(home + QStringLiteral("/.codex/.codex-global-state.json"), R"({
  "local-projects": {
    "/Users/demo/src/website": {"name": "website"},
    "/Users/demo/old/website": {"name": "website"},
    "/Users/demo/src/rnd": {"name": "R&D <b>notes</b>"},
    "/Users/demo/src/beta": {"name": "beta"},
    "/Users/demo/src/Alpha": {"name": "Alpha"},
    "/Users/demo/src/gamma": {"name": "gamma"},
    "/Users/demo/src/broken": {"path": "no name"}
  },
  "window-state": {"width": 1200}
})",
                     error) &&
           writeFile(home + QStringLiteral("/.codex-alt/.codex-global-state.json"),
                     R"({"local-projects": {"/Users/demo/src/sync-tool": {"name": "sync-tool"}}})", error);
}

} // namespace

std::optional<DemoSandbox> prepareDemoSandbox(QString* error) {
    QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/veldrin-demo-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        *error = QStringLiteral("cannot create a sandbox in ") + QDir::tempPath();
        return std::nullopt;
    }
    DemoSandbox box;
    box.root = QString::fromLocal8Bit(pattern);
    box.home = box.root + QStringLiteral("/home");
    box.systemRoot = box.root + QStringLiteral("/system");

    const QString home = box.home;
    bool ok =
        copyResource(QStringLiteral(":/sim/veldrin"), home + QStringLiteral("/bin/veldrin"), error) &&
        copyResource(QStringLiteral(":/sim/standin-app"), home + QStringLiteral("/.sim/standin-app"),
                     error) &&
        copyResource(QStringLiteral(":/sim/start-apps"), home + QStringLiteral("/.sim/start-apps"), error) &&
        // Alt matches Primary, Tri lags a build behind; one list in each format.
        makeBundle(box.systemRoot + QStringLiteral("/Applications/ChatGPT.app"), QStringLiteral("ChatGPT"),
                   QStringLiteral("com.openai.codex"), QStringLiteral("27"), false, error) &&
        makeBundle(home + QStringLiteral("/Applications/ChatGPT Alt.app"), QStringLiteral("ChatGPT Alt"),
                   QStringLiteral("com.openai.codex.alt"), QStringLiteral("27"), false, error) &&
        makeBundle(home + QStringLiteral("/Applications/ChatGPT Tri.app"), QStringLiteral("ChatGPT Tri"),
                   QStringLiteral("com.openai.codex.tri"), QStringLiteral("26"), true, error);
    // The stand-ins are real processes: the real kill signals them. The lid
    // setting is simulated, and the password-less rule for it in place.
    ok = ok && QDir().mkpath(box.systemRoot + QStringLiteral("/bin")) &&
         QFile::link(QStringLiteral("/bin/kill"), box.systemRoot + QStringLiteral("/bin/kill")) &&
         copyResource(QStringLiteral(":/sim/pmset"), box.systemRoot + QStringLiteral("/usr/bin/pmset"),
                      error) &&
         copyResource(QStringLiteral(":/sim/sudo"), box.systemRoot + QStringLiteral("/usr/bin/sudo"), error);
    for (const char* folder :
         {".codex", ".codex-alt", ".codex-tri", ".config", ".cache", ".local/share", ".local/state"})
        ok = ok && QDir().mkpath(home + QLatin1Char('/') + QLatin1String(folder));
    ok = ok && writeDemoProjects(home, error);
    if (!ok) {
        QDir(box.root).removeRecursively();
        return std::nullopt;
    }
    return box;
}

void enterDemoSandbox(const DemoSandbox& box) {
    qputenv("HOME", box.home.toLocal8Bit());
    qputenv("VELDRIN_SYSTEM_ROOT", box.systemRoot.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (box.home + QStringLiteral("/.config")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (box.home + QStringLiteral("/.cache")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (box.home + QStringLiteral("/.local/share")).toLocal8Bit());
    qputenv("XDG_STATE_HOME", (box.home + QStringLiteral("/.local/state")).toLocal8Bit());
}

void startDemoApps(const DemoSandbox& box) {
    shell({box.home + QStringLiteral("/.sim/start-apps")}, {std::chrono::seconds(10), 1024 * 1024});
}

void removeDemoSandbox(const DemoSandbox& box) {
    // The stand-ins register themselves by process identifier; one of them
    // ignores TERM, so they all get KILL.
    const QDir apps(box.home + QStringLiteral("/.sim/apps"));
    for (const QString& name : apps.entryList(QDir::Files)) {
        bool isNumber = false;
        const int pid = name.toInt(&isNumber);
        if (isNumber && pid > 1)
            kill(pid, SIGKILL);
    }
    QDir(box.root).removeRecursively();
}

} // namespace veldrin
