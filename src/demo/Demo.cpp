#include "demo/Demo.h"

#include "base/Profiles.h"
#include "platform/System.h"
#include "plist/PlistWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariantMap>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace veldrin {

namespace {

const QString ownerFile = QStringLiteral("owner");

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

bool writeFile(const QString& path, const QByteArray& content, QString* error) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(content) != content.size()) {
        *error = QStringLiteral("cannot write ") + path;
        return false;
    }
    return true;
}

// A bundle whose executable is the stand-in app, so that it runs for real.
bool makeBundle(const QString& bundle, const Profile& profile, const QString& build, bool binaryPlist,
                QString* error) {
    const QString executable = QFileInfo(bundle).completeBaseName();
    const QVariantMap info{
        {QStringLiteral("CFBundleExecutable"), executable},
        {QStringLiteral("CFBundleIdentifier"), QString(profile.bundleIdentifier)},
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

// The Codex apps' own lists of local projects, as the offer choice reads them:
// a name with markup characters, two projects of the same name, mixed case.
bool writeDemoProjects(const QString& home, QString* error) {
    return writeFile(home + QLatin1Char('/') + primaryProfile.dataFolder +
                         QStringLiteral("/.codex-global-state.json"),
                     R"({
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
           writeFile(home + QLatin1Char('/') + altProfile.dataFolder +
                         QStringLiteral("/.codex-global-state.json"),
                     R"({"local-projects": {"/Users/demo/src/sync-tool": {"name": "sync-tool"}}})", error);
}

// "PID STARTTIME" of the demo that owns a sandbox.
QByteArray ownerRecord(pid_t pid) {
    return QByteArray::number(pid) + ' ' + processStartTime(pid).value_or("?") + '\n';
}

bool ownerIsRunning(const QByteArray& record) {
    const QList<QByteArray> fields = record.trimmed().split(' ');
    bool isNumber = false;
    const pid_t pid = fields.value(0).toInt(&isNumber);
    if (!isNumber || pid <= 1 || fields.size() != 2)
        return false;
    if (::kill(pid, 0) != 0 && errno != EPERM)
        return false;
    return ownerRecord(pid).trimmed() == record.trimmed();
}

// Sandboxes of this user's demos that have ended without removing them.
void removeStaleSandboxes(const QString& tempPath) {
    const QDir temp(tempPath);
    for (const QString& name :
         temp.entryList({QStringLiteral("veldrin-demo-*")}, QDir::Dirs | QDir::Hidden)) {
        const QString root = temp.filePath(name);
        struct stat st {};
        if (::lstat(QFile::encodeName(root).constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            st.st_uid != ::getuid())
            continue;
        QFile owner(root + QLatin1Char('/') + ownerFile);
        // Without an owner record it may be one that another demo is just making.
        if (!owner.open(QIODevice::ReadOnly))
            continue;
        if (!ownerIsRunning(owner.readAll()))
            QDir(root).removeRecursively();
    }
}

} // namespace

bool layOutSandbox(const QString& home, const QString& systemRoot, QString* error) {
    const auto bundle = [&](const Profile& profile) {
        return (profile.appInHome ? home : systemRoot) + QStringLiteral("/Applications/") + profile.appBundle;
    };
    bool ok = copyResource(QStringLiteral(":/sim/veldrin"), home + QStringLiteral("/bin/veldrin"), error) &&
              copyResource(QStringLiteral(":/sim/standin-app"), home + QStringLiteral("/.sim/standin-app"),
                           error) &&
              copyResource(QStringLiteral(":/sim/app-control"), home + QStringLiteral("/.sim/app-control"),
                           error) &&
              // Alt matches Primary, Tri lags a build behind; one list in each format.
              makeBundle(bundle(primaryProfile), primaryProfile, QStringLiteral("27"), false, error) &&
              makeBundle(bundle(altProfile), altProfile, QStringLiteral("27"), false, error) &&
              makeBundle(bundle(triProfile), triProfile, QStringLiteral("26"), true, error);
    // The stand-ins are real processes: the real kill signals them. The lid
    // setting is simulated, and the password-less rule for it in place.
    ok = ok && QDir().mkpath(systemRoot + QStringLiteral("/bin")) &&
         (QFileInfo::exists(systemRoot + QStringLiteral("/bin/kill")) ||
          QFile::link(QStringLiteral("/bin/kill"), systemRoot + QStringLiteral("/bin/kill"))) &&
         copyResource(QStringLiteral(":/sim/pmset"), systemRoot + QStringLiteral("/usr/bin/pmset"), error) &&
         copyResource(QStringLiteral(":/sim/sudo"), systemRoot + QStringLiteral("/usr/bin/sudo"), error);
    for (const Profile& profile : profiles)
        ok = ok && QDir().mkpath(home + QLatin1Char('/') + profile.dataFolder);
    for (const char* folder : {".config", ".cache", ".local/share", ".local/state"})
        ok = ok && QDir().mkpath(home + QLatin1Char('/') + QLatin1String(folder));
    ok = ok && writeDemoProjects(home, error);
    if (!ok && error->isEmpty())
        *error = QStringLiteral("cannot lay out ") + home;
    return ok;
}

std::optional<DemoSandbox> prepareDemoSandbox(QString* error) {
    removeStaleSandboxes(QDir::tempPath());
    QByteArray pattern = QFile::encodeName(QDir::tempPath()) + "/veldrin-demo-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        *error = QStringLiteral("cannot create a sandbox in ") + QDir::tempPath();
        return std::nullopt;
    }
    DemoSandbox box;
    box.root = QFile::decodeName(pattern);
    box.home = box.root + QStringLiteral("/home");
    box.systemRoot = box.root + QStringLiteral("/system");
    if (!writeFile(box.root + QLatin1Char('/') + ownerFile, ownerRecord(::getpid()), error) ||
        !layOutSandbox(box.home, box.systemRoot, error)) {
        QDir(box.root).removeRecursively();
        return std::nullopt;
    }
    return box;
}

void enterDemoSandbox(const DemoSandbox& box) {
    qputenv("HOME", QFile::encodeName(box.home));
    qputenv("VELDRIN_SYSTEM_ROOT", QFile::encodeName(box.systemRoot));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(box.home + QStringLiteral("/.config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(box.home + QStringLiteral("/.cache")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(box.home + QStringLiteral("/.local/share")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(box.home + QStringLiteral("/.local/state")));
    keepSettingsBelow(box.home + QStringLiteral("/.config"));
}

void removeDemoSandbox(const DemoSandbox& box) {
    QDir(box.root).removeRecursively();
}

} // namespace veldrin
