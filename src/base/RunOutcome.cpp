#include "base/RunOutcome.h"

#include <QRegularExpression>

#include <algorithm>

namespace veldrin {

RunOutcome controllerOutcome(int status, bool stoppedByUser, std::chrono::milliseconds duration) {
    const RunOutcome::Kind kind = stoppedByUser ? RunOutcome::Kind::stopped
                                  : status == 0 ? RunOutcome::Kind::succeeded
                                                : RunOutcome::Kind::failed;
    return {kind, status, duration};
}

QString closingLine(int status) {
    return QStringLiteral("\nFinished with exit code ") + QString::number(status) + QStringLiteral(".\n");
}

std::optional<RunOutcome> outcomeOfTranscript(const QString& transcriptEnd) {
    static const QRegularExpression closing(QStringLiteral("\nFinished with exit code (\\d+)\\.\n$"));
    const QRegularExpressionMatch match = closing.match(transcriptEnd);
    if (!match.hasMatch())
        return std::nullopt;
    const bool stopped = transcriptEnd.left(match.capturedStart()).endsWith(stoppedByUserLine);
    return controllerOutcome(match.captured(1).toInt(), stopped, std::chrono::milliseconds(0));
}

QString durationText(std::chrono::milliseconds duration) {
    const long long seconds = std::max<long long>(0, duration.count() / 1000);
    return QString::number(seconds / 60) + QLatin1Char(':') +
           QStringLiteral("%1").arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString runningStripText(std::chrono::milliseconds elapsed) {
    return QStringLiteral("Running — ") + durationText(elapsed);
}

QString outcomeStripText(const RunOutcome& outcome) {
    const QString code = outcome.exitCode ? QStringLiteral(" — exit code ") +
                                                QString::number(*outcome.exitCode) + QStringLiteral(" · ")
                                          : QStringLiteral(" — ");
    switch (outcome.kind) {
    case RunOutcome::Kind::succeeded:
        return QStringLiteral("Succeeded") + code + durationText(outcome.duration);
    case RunOutcome::Kind::failed:
        return QStringLiteral("Failed") + code + durationText(outcome.duration);
    case RunOutcome::Kind::stopped:
        break;
    }
    return QStringLiteral("Stopped — ") + durationText(outcome.duration);
}

QString outcomeResultText(const RunOutcome& outcome) {
    switch (outcome.kind) {
    case RunOutcome::Kind::succeeded:
        return outcome.exitCode ? QStringLiteral("exit code ") + QString::number(*outcome.exitCode)
                                : QStringLiteral("finished");
    case RunOutcome::Kind::failed:
        return outcome.exitCode ? QStringLiteral("failed, exit code ") + QString::number(*outcome.exitCode)
                                : QStringLiteral("failed");
    case RunOutcome::Kind::stopped:
        break;
    }
    return QStringLiteral("stopped");
}

} // namespace veldrin
