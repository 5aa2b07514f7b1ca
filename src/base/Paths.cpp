#include "base/Paths.h"

#include "base/Profiles.h"

#include <QDir>
#include <QFile>

namespace veldrin {

bool isFaithfulFileName(const QByteArray& bytes) {
    return QFile::encodeName(QFile::decodeName(bytes)) == bytes;
}

std::optional<QString> unusableEnvironment() {
    const QByteArray home = qgetenv("HOME");
    if (home.isEmpty())
        return QStringLiteral("HOME is not set; Veldrin needs a home folder");
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME",
                             "TMPDIR", "VELDRIN_SYSTEM_ROOT"}) {
        const QByteArray value = qgetenv(name);
        if (!isFaithfulFileName(value))
            return QLatin1String(name) + QStringLiteral(" is not valid UTF-8 (") + QString::fromUtf8(value) +
                   QStringLiteral("); Veldrin would misread the folder it names");
    }
    if (!home.startsWith('/'))
        return QStringLiteral("HOME is not an absolute path: ") + QFile::decodeName(home);
    return std::nullopt;
}

QString homeFolder() {
    QString home = QDir::homePath();
    while (home.size() > 1 && home.endsWith(QLatin1Char('/')))
        home.chop(1);
    return home;
}

QString controller() {
    return homeFolder() + QStringLiteral("/bin/veldrin");
}
QString pauseFile() {
    return dataFolderPath(primaryProfile) + QStringLiteral("/.sync-paused");
}

QString systemPath(const QString& absolutePath) {
    const QString root = qEnvironmentVariable("VELDRIN_SYSTEM_ROOT");
    if (root.isEmpty())
        return absolutePath;
    QString base = root;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base + absolutePath;
}

} // namespace veldrin
