#include "app/Autostart.h"

#include "app/CommandLine.h"
#include "base/Paths.h"
#include "plist/PlistWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <unistd.h>

#if defined(__APPLE__)
#include <climits>
#include <cstdlib>
#include <mach-o/dyld.h>
#endif

namespace veldrin {

namespace {

// This program's own file, with links resolved; argv[0] where the system
// cannot say.
QByteArray executableFile(const char* argv0) {
#if defined(__APPLE__)
    // dyld(3): a buffer too small answers -1 and the size needed; the path
    // "may be a symbolic link and not the real file".
    uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    QByteArray path(qsizetype(size), '\0');
    char resolved[PATH_MAX];
    if (size > 0 && _NSGetExecutablePath(path.data(), &size) == 0 && realpath(path.constData(), resolved))
        return QByteArray(resolved);
#else
    QByteArray path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), size_t(path.size()));
    if (length > 0)
        return path.left(length);
#endif
    return QFile::encodeName(QFileInfo(QFile::decodeName(argv0)).absoluteFilePath());
}

// The program as it is installed: what started this one. Its path goes into
// the login entry, so it must name this very file.
std::optional<QString> installedProgram(const char* argv0, QString* problem) {
    const QByteArray path = executableFile(argv0);
    if (!isFaithfulFileName(path)) {
        *problem = QStringLiteral("the path of this program is not valid UTF-8 (") + QString::fromUtf8(path) +
                   QStringLiteral("); a login entry could not start it");
        return std::nullopt;
    }
    return QFile::decodeName(path);
}

} // namespace

QString autostartEntryPath() {
#if defined(Q_OS_MACOS)
    return homeFolder() + QStringLiteral("/Library/LaunchAgents/" VELDRIN_BUNDLE_ID ".plist");
#else
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    return (config.startsWith(QLatin1Char('/')) ? config : homeFolder() + QStringLiteral("/.config")) +
           QStringLiteral("/autostart/veldrin.desktop");
#endif
}

QString desktopExecValue(const QString& program) {
    // Quoted as an argument: \ " ` $ take a backslash inside the quotes.
    QString quoted;
    for (const QChar c : program) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted = QLatin1Char('"') + quoted.replace(QLatin1Char('%'), QStringLiteral("%%")) + QLatin1Char('"');
    // Then escaped as any string value of the file.
    QString value;
    for (const QChar c : quoted) {
        if (c == QLatin1Char('\\'))
            value += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            value += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            value += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

std::optional<QString> setAutostart(bool enabled, const QString& program) {
    const QString path = autostartEntryPath();
    if (!enabled) {
        if (QFileInfo::exists(path) && !QFile::remove(path))
            return QStringLiteral("cannot remove ") + path;
        return std::nullopt;
    }
#if defined(Q_OS_MACOS)
    // launchd.plist(5): the Label names the job; ProgramArguments is the
    // argument vector, its first element the program (no shell, no PATH
    // search here: an absolute path); RunAtLoad starts the job when launchd
    // loads it, which for ~/Library/LaunchAgents is at login. No KeepAlive:
    // Quit Veldrin stays quit. Interactive: the limits of an app, as it is one.
    const QVariantMap agent{{QStringLiteral("Label"), QStringLiteral(VELDRIN_BUNDLE_ID)},
                            {QStringLiteral("ProgramArguments"), QVariantList{program}},
                            {QStringLiteral("RunAtLoad"), true},
                            {QStringLiteral("ProcessType"), QStringLiteral("Interactive")}};
    if (!writeInfoPlist(path, agent, false))
        return QStringLiteral("cannot write ") + path;
    return std::nullopt;
#else
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    const QByteArray entry =
        QByteArrayLiteral("[Desktop Entry]\nType=Application\nName=Veldrin\n"
                          "Comment=Status-bar companion for the veldrin sync controller\n"
                          "Exec=") +
        desktopExecValue(program).toUtf8() +
        QByteArrayLiteral("\nIcon=veldrin\nTerminal=false\nX-GNOME-Autostart-enabled=true\n");
    if (!file.open(QIODevice::WriteOnly) || file.write(entry) != entry.size() || !file.commit())
        return QStringLiteral("cannot write ") + path;
    return std::nullopt;
#endif
}

int runAutostart(bool enabled, const char* argv0) {
    QString problem;
    const std::optional<QString> program = installedProgram(argv0, &problem);
    const std::optional<QString> error = program ? setAutostart(enabled, *program) : std::optional(problem);
    if (error) {
        writeUtf8(stderr, QStringLiteral("veldrin: ") + *error + QLatin1Char('\n'));
        return 1;
    }
    writeUtf8(stdout, enabled ? QStringLiteral("Veldrin will start at login: ") + autostartEntryPath() +
                                    QLatin1Char('\n')
                              : QStringLiteral("Veldrin will no longer start at login.\n"));
    return 0;
}

} // namespace veldrin
