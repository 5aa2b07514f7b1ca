#include "appcontrol/StopSequence.h"

#include "exec/AppProcesses.h"

namespace veldrin {

namespace {

using std::chrono::milliseconds;

QStringList runningIDs(const StopSequenceSetup& setup, const StopToken& stop) {
    return appProcessIDs(queryAppProcesses(setup.controller, setup.queryLimits, stop).lines);
}

void signal(const StopSequenceSetup& setup, const QString& name, const QStringList& ids,
            const StopToken& stop) {
    // Its answer is not looked at: only the next query counts.
    if (const auto argv = killCommand(setup.killProgram, name, ids))
        shell(*argv, setup.killLimits, stop);
}

} // namespace

bool isSignallableProcessID(const QString& id) {
    if (id.isEmpty())
        return false;
    for (const QChar c : id) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    // Leading zeros are fine; a number too large for a pid is left to kill.
    qsizetype first = 0;
    while (first < id.size() - 1 && id[first] == QLatin1Char('0'))
        ++first;
    const QStringView digits = QStringView(id).mid(first);
    return digits.size() > 1 || digits[0] > QLatin1Char('1');
}

std::optional<QStringList> killCommand(const QString& killProgram, const QString& signal,
                                       const QStringList& ids) {
    QStringList argv{killProgram, signal, QStringLiteral("--")};
    for (const QString& id : ids) {
        if (isSignallableProcessID(id))
            argv.append(id);
    }
    if (argv.size() == 3)
        return std::nullopt;
    return argv;
}

QStringList escalateStop(const StopSequenceSetup& setup, Sleeper& sleeper,
                         const std::function<void(const QString&)>& report, const StopToken& stop) {
    // Says what it does, signals, and gives the signal time to work.
    const auto escalate = [&](const QStringList& ids, const QString& line, const QString& name,
                              milliseconds pause) {
        report(line);
        signal(setup, name, ids, stop);
        return sleeper.sleep(pause, stop);
    };
    if (!sleeper.sleep(milliseconds(2000), stop))
        return {};
    QStringList ids = runningIDs(setup, stop);
    if (!ids.isEmpty() && !escalate(ids,
                                    QStringLiteral("Terminating ") + QString::number(ids.size()) +
                                        QStringLiteral(" lingering process(es)…\n"),
                                    QStringLiteral("-TERM"), milliseconds(2000)))
        return ids;
    ids = runningIDs(setup, stop);
    if (!ids.isEmpty() && !escalate(ids,
                                    QStringLiteral("Force-quitting ") + QString::number(ids.size()) +
                                        QStringLiteral(" process(es) that did not stop…\n"),
                                    QStringLiteral("-KILL"), milliseconds(1000)))
        return ids;
    return runningIDs(setup, stop);
}

} // namespace veldrin
