#include "bridge/ClaudeBridge.h"

#include <QDateTime>

namespace veldrin::claudeBridge {

namespace {

bool isSpaceOrTab(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// The count is copied as the controller wrote it, not read as a number.
QString transcriptCount(const QString& output) {
    const QLatin1String marker("Transcripts written:");
    for (const QStringView line : QStringView(output).split(QLatin1Char('\n'))) {
        if (!line.contains(marker))
            continue;
        QStringView count = line.mid(line.lastIndexOf(QLatin1Char(':')) + 1);
        while (!count.isEmpty() && isSpaceOrTab(count.front()))
            count = count.mid(1);
        while (!count.isEmpty() && isSpaceOrTab(count.back()))
            count.chop(1);
        return count.toString();
    }
    return QStringLiteral("0");
}

} // namespace

QString timeText(TimePoint when) {
    return QDateTime::fromMSecsSinceEpoch(when.time_since_epoch().count()).toString(QStringLiteral("HH:mm"));
}

QString outcome(int status, const QString& output, const QString& time) {
    if (status != 0)
        return QStringLiteral("failed at ") + time +
               QStringLiteral(" — choose Sync with Claude Code for details");
    if (output.contains(QLatin1String("paused")))
        return QStringLiteral("paused");
    return QStringLiteral("synced at ") + time + QStringLiteral(" · ") + transcriptCount(output) +
           QStringLiteral(" updated");
}

} // namespace veldrin::claudeBridge
