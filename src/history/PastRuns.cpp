#include "history/PastRuns.h"

#include "base/BoundedFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <tuple>

namespace veldrin {

namespace {

const QString timeFormat = QStringLiteral("yyyy-MM-dd_HHmmss");

} // namespace

QString historyFileName(const HistoryFileName& name) {
    QString text = QDateTime::fromMSecsSinceEpoch(name.started.time_since_epoch().count(), Qt::UTC)
                       .toString(timeFormat) +
                   QLatin1Char('Z');
    if (name.sequence > 1)
        text += QLatin1Char('-') + QString::number(name.sequence);
    return text + QLatin1Char('_') + name.title + QStringLiteral(".log");
}

std::optional<HistoryFileName> parseHistoryFileName(const QString& fileName) {
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2}_\\d{6})(Z?)(?:-([1-9]\\d{0,5}))?_(.+)\\.log$"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = pattern.match(fileName);
    if (!match.hasMatch())
        return std::nullopt;
    QDateTime time = QDateTime::fromString(match.captured(1), timeFormat);
    if (!time.isValid())
        return std::nullopt;
    if (!match.captured(2).isEmpty())
        time.setTimeSpec(Qt::UTC);
    return HistoryFileName{TimePoint(std::chrono::milliseconds(time.toMSecsSinceEpoch())),
                           match.hasCaptured(3) ? match.captured(3).toInt() : 1, match.captured(4)};
}

QString outcomeFileOf(const QString& historyFile) {
    return historyFile.chopped(4) + QStringLiteral(".outcome");
}

std::optional<RunOutcome> savedOutcome(const QString& historyFile) {
    QFile record;
    if (openRegularFile(record, outcomeFileOf(historyFile)))
        return parseOutcomeRecord(record.read(4096));
    // A run saved before outcome files: its transcript's closing line tells.
    QFile transcript;
    if (openRegularFile(transcript, historyFile) &&
        transcript.seek(std::max<qint64>(0, transcript.size() - 256)))
        return outcomeOfTranscript(QString::fromUtf8(transcript.readAll()));
    return std::nullopt;
}

QList<HistoryFile> historyFiles(const QString& folder) {
    QList<HistoryFile> files;
    for (const QFileInfo& file :
         QDir(folder).entryInfoList({QStringLiteral("*.log")}, QDir::Files | QDir::NoSymLinks)) {
        if (std::optional<HistoryFileName> name = parseHistoryFileName(file.fileName()))
            files.append({file.absoluteFilePath(), *name, file.size()});
    }
    std::sort(files.begin(), files.end(), [](const HistoryFile& a, const HistoryFile& b) {
        return std::tie(a.name.started, a.name.sequence, a.path) <
               std::tie(b.name.started, b.name.sequence, b.path);
    });
    return files;
}

QList<PastRun> pastRuns(const QString& folder, int count) {
    QList<PastRun> runs;
    const QList<HistoryFile> files = historyFiles(folder);
    for (auto file = files.rbegin(); file != files.rend() && runs.size() < count; ++file) {
        runs.append({file->path, file->name.title, file->name.started, savedOutcome(file->path)});
    }
    return runs;
}

QString transcriptEnd(const QString& path, qint64 maxBytes, bool* cut) {
    QFile file;
    if (!openRegularFile(file, path))
        return {};
    const qint64 start = std::max<qint64>(0, file.size() - maxBytes);
    file.seek(start);
    QByteArray bytes = file.readAll();
    if (start > 0) // from the next whole line, so that no character is cut
        bytes = bytes.mid(bytes.indexOf('\n') + 1);
    if (cut)
        *cut = start > 0;
    return QString::fromUtf8(bytes);
}

} // namespace veldrin
