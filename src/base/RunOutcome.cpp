#include "base/RunOutcome.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace veldrin {

bool operator==(const RunOutcome& a, const RunOutcome& b) {
    return a.kind == b.kind && a.exitCode == b.exitCode && a.duration == b.duration &&
           a.savedWhole == b.savedWhole;
}

namespace {

const char* kindName(RunOutcome::Kind kind) {
    switch (kind) {
    case RunOutcome::Kind::succeeded:
        return "succeeded";
    case RunOutcome::Kind::failed:
        return "failed";
    case RunOutcome::Kind::stopped:
        break;
    }
    return "stopped";
}

} // namespace

QByteArray outcomeRecord(const RunOutcome& outcome) {
    QJsonObject o{{QStringLiteral("kind"), QString::fromLatin1(kindName(outcome.kind))},
                  {QStringLiteral("durationMs"), qint64(outcome.duration.count())},
                  {QStringLiteral("savedWhole"), outcome.savedWhole}};
    if (outcome.exitCode)
        o.insert(QStringLiteral("exitCode"), *outcome.exitCode);
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<RunOutcome> parseOutcomeRecord(const QByteArray& record) {
    const QJsonObject o = QJsonDocument::fromJson(record).object();
    const QString kind = o.value(QStringLiteral("kind")).toString();
    RunOutcome outcome;
    if (kind == QLatin1String("succeeded"))
        outcome.kind = RunOutcome::Kind::succeeded;
    else if (kind == QLatin1String("failed"))
        outcome.kind = RunOutcome::Kind::failed;
    else if (kind == QLatin1String("stopped"))
        outcome.kind = RunOutcome::Kind::stopped;
    else
        return std::nullopt;
    if (o.value(QStringLiteral("exitCode")).isDouble())
        outcome.exitCode = o.value(QStringLiteral("exitCode")).toInt();
    outcome.duration =
        std::chrono::milliseconds(std::max<qint64>(0, o.value(QStringLiteral("durationMs")).toInteger()));
    outcome.savedWhole = o.value(QStringLiteral("savedWhole")).toBool(true);
    return outcome;
}

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

namespace {

QString strip(const RunOutcome& outcome) {
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

QString result(const RunOutcome& outcome) {
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

} // namespace

QString outcomeStripText(const RunOutcome& outcome) {
    return strip(outcome) + (outcome.savedWhole ? QString() : QStringLiteral(" · not saved whole"));
}

QString outcomeResultText(const RunOutcome& outcome) {
    return result(outcome) + (outcome.savedWhole ? QString() : QStringLiteral(", not saved whole"));
}

} // namespace veldrin
