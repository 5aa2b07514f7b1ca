#include "platform/Paths.h"

#include <QDir>

namespace veldrin {

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
    return homeFolder() + QStringLiteral("/.codex/.sync-paused");
}
QString altApp() {
    return homeFolder() + QStringLiteral("/Applications/ChatGPT Alt.app");
}
QString triApp() {
    return homeFolder() + QStringLiteral("/Applications/ChatGPT Tri.app");
}
QString primaryApp() {
    return systemPath(QStringLiteral("/Applications/ChatGPT.app"));
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
