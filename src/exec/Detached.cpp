#include "exec/Detached.h"

#include "exec/Spawn.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>

namespace veldrin {

std::optional<QString> startDetached(const QStringList& argv) {
    if (argv.isEmpty())
        return launchErrorDescription(QString(), ENOENT);
    const QString& program = argv.first();
    const QString path =
        program.contains(QLatin1Char('/')) ? program : QStandardPaths::findExecutable(program);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return launchErrorDescription(program, ENOENT);
    if (!QFileInfo(path).isExecutable())
        return launchErrorDescription(program, EACCES);
    QProcess process;
    process.setProgram(path);
    process.setArguments(argv.mid(1));
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached())
        return program + QStringLiteral(": ") + process.errorString();
    return std::nullopt;
}

} // namespace veldrin
