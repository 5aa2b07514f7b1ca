#include "exec/AppProcesses.h"

#include "exec/ControllerCommands.h"

namespace veldrin {

AppProcessAnswer appProcessAnswer(const ShellResult& result) {
    AppProcessAnswer answer;
    answer.lines = result.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (result.failure != ShellFailure::none)
        answer.failure = result.output;
    return answer;
}

AppProcessAnswer queryAppProcesses(const QString& controller, const QueryLimits& limits,
                                   const StopToken& stop) {
    // One odd byte in a process name must not hide a running app.
    return appProcessAnswer(
        shell(QStringList{controller} + controllerArgs::appProcesses(), limits, stop, InvalidUtf8::replace));
}

QStringList appProcessIDs(const QStringList& lines) {
    QStringList ids;
    for (const QString& line : lines) {
        const QStringList pieces = line.split(QLatin1Char('\t'), Qt::SkipEmptyParts);
        if (!pieces.isEmpty())
            ids.append(pieces.first());
    }
    return ids;
}

} // namespace veldrin
