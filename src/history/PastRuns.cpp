#include "history/PastRuns.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

namespace veldrin {

namespace {

// "2026-03-02_090530_Veldrin Audit.log" (or "…_Veldrin Audit-2.log").
std::optional<PastRun> fromFileName(const QFileInfo& file) {
    const QString name = file.completeBaseName();
    const QDateTime time = QDateTime::fromString(name.left(17), QStringLiteral("yyyy-MM-dd_HHmmss"));
    if (!time.isValid() || name.size() < 19 || name[17] != QLatin1Char('_'))
        return std::nullopt;
    return PastRun{file.absoluteFilePath(), name.mid(18),
                   TimePoint(std::chrono::milliseconds(time.toMSecsSinceEpoch())), std::nullopt};
}

} // namespace

QList<PastRun> pastRuns(const QString& folder, int count) {
    QList<PastRun> runs;
    const QFileInfoList files = QDir(folder).entryInfoList(
        {QStringLiteral("*.log")}, QDir::Files | QDir::NoSymLinks, QDir::Name | QDir::Reversed);
    for (const QFileInfo& file : files) {
        if (runs.size() >= count)
            break;
        if (std::optional<PastRun> run = fromFileName(file)) {
            QFile transcript(run->path);
            if (transcript.open(QIODevice::ReadOnly) &&
                transcript.seek(std::max<qint64>(0, transcript.size() - 256)))
                run->outcome = outcomeOfTranscript(QString::fromUtf8(transcript.readAll()));
            runs.append(*run);
        }
    }
    return runs;
}

QString transcriptEnd(const QString& path, qint64 maxBytes, bool* cut) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
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
