#include "app/SyncState.h"

#include "app/AppDelegate.h"
#include "app/Paths.h"
#include "exec/ControllerCommands.h"
#include "exec/Shell.h"

#include <QFileInfo>
#include <QGuiApplication>

namespace veldrin {

QString statusLine(SyncState state) {
    switch (state) {
    case SyncState::ready:
        return QStringLiteral("Ready — click Sync Now");
    case SyncState::paused:
        return QStringLiteral("Sync is paused");
    case SyncState::blocked:
        return QStringLiteral("Cannot sync — ChatGPT is running");
    case SyncState::working:
        return QStringLiteral("Working…");
    }
    return {};
}

QColor indicatorTint(SyncState state, const QPalette& palette) {
    const bool dark = palette.color(QPalette::Window).lightness() < 128;
    switch (state) {
    case SyncState::working:
        return dark ? QColor(0x0A, 0x84, 0xFF) : QColor(0x00, 0x7A, 0xFF);
    case SyncState::paused:
    case SyncState::blocked:
        return dark ? QColor(0xFF, 0x9F, 0x0A) : QColor(0xFF, 0x95, 0x00);
    case SyncState::ready:
        break;
    }
    return palette.color(QPalette::PlaceholderText);
}

void AppDelegate::refresh() {
    // Cheap tests first: while working nothing is looked at, while paused the
    // controller is not asked.
    SyncState next = SyncState::ready;
    if (activeProcess || isQuittingApps)
        next = SyncState::working;
    else if (QFileInfo::exists(pauseFile()))
        next = SyncState::paused;
    else if (!appProcessLines().isEmpty())
        next = SyncState::blocked;
    state = next;

    if (statusItem && statusItem->hasButton())
        statusItem->setIndicator(indicatorTint(state, QGuiApplication::palette()));

    const TimePoint now = platform_.clock->now();
    if (secondsBetween(lastCloudRefresh, now) >= 30.0)
        refreshCloudStatus(false);
    if (secondsBetween(lastLidKeepAwakeRefresh, now) >= 15.0)
        refreshLidKeepAwake(false);
}

QStringList AppDelegate::appProcessLines() {
    QStringList argv{controller()};
    argv += controllerArgs::appProcesses();
    // The status is not looked at: a controller that cannot start or does not
    // answer leaves its error as one line, which reads as blocked.
    const ShellResult result = shell(argv, controllerArgs::quickQueryTimeout);
    return result.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList AppDelegate::appProcessIDs() {
    QStringList ids;
    for (const QString& line : appProcessLines()) {
        // The first non-empty tab-separated field, kept as text.
        qsizetype start = 0;
        while (start < line.size() && line.at(start) == QLatin1Char('\t'))
            ++start;
        if (start == line.size())
            continue;
        qsizetype end = line.indexOf(QLatin1Char('\t'), start);
        if (end < 0)
            end = line.size();
        ids.append(line.mid(start, end - start));
    }
    return ids;
}

void AppDelegate::togglePause() {
    QStringList argv{controller()};
    argv += QFileInfo::exists(pauseFile()) ? controllerArgs::resume() : controllerArgs::pause();
    // The controller makes or removes the marker; refresh shows the outcome.
    shell(argv, controllerArgs::quickQueryTimeout);
    refresh();
}

} // namespace veldrin
