#include "autostart/Autostart.h"

#include "base/Paths.h"
#include "cli/CommandLine.h"
#include "platform/System.h"
#include "plist/PlistWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace veldrin {

namespace {

// The program as it is installed: what started this one (argv[0] where the
// system cannot say). Its path goes into the login entry, so it must name
// this very file.
std::optional<QString> installedProgram(const char* argv0, QString* problem) {
    const QByteArray path =
        executableFile().value_or(QFile::encodeName(QFileInfo(QFile::decodeName(argv0)).absoluteFilePath()));
    if (!isFaithfulFileName(path)) {
        *problem = QStringLiteral("the path of this program is not valid UTF-8 (") + QString::fromUtf8(path) +
                   QStringLiteral("); a login entry could not start it");
        return std::nullopt;
    }
    return QFile::decodeName(path);
}

} // namespace

QString autostartEntryPath() {
    if (loginStart() == LoginStart::launchAgent)
        return homeFolder() + QStringLiteral("/Library/LaunchAgents/" VELDRIN_BUNDLE_ID ".plist");
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    return (config.startsWith(QLatin1Char('/')) ? config : homeFolder() + QStringLiteral("/.config")) +
           QStringLiteral("/autostart/veldrin.desktop");
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

namespace {

std::optional<QString> writeLaunchAgent(const QString& path, const QString& program) {
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
}

std::optional<QString> writeDesktopEntry(const QString& path, const QString& program) {
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
}

} // namespace

std::optional<QString> setAutostart(bool enabled, const QString& program) {
    const QString path = autostartEntryPath();
    if (!enabled) {
        if (QFileInfo::exists(path) && !QFile::remove(path))
            return QStringLiteral("cannot remove ") + path;
        return std::nullopt;
    }
    if (loginStart() == LoginStart::launchAgent)
        return writeLaunchAgent(path, program);
    return writeDesktopEntry(path, program);
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
