#include "history/RecentRunsMenu.h"

#include "menu/TitleText.h"

#include <QDateTime>

namespace veldrin {

QString recentRunText(const RecentRun& run) {
    QString result;
    if (!run.saved)
        result = QStringLiteral("not saved");
    else if (run.running)
        result = QStringLiteral("running");
    else if (run.outcome)
        result = outcomeResultText(*run.outcome);
    const QString time = QDateTime::fromMSecsSinceEpoch(run.started.time_since_epoch().count())
                             .toString(QStringLiteral("HH:mm"));
    return time + QLatin1Char(' ') + untrustedText(run.title) +
           (result.isEmpty() ? QString() : QStringLiteral(" — ") + result);
}

MenuEntry recentRunsEntry(const QList<RecentRun>& newestFirst) {
    Menu submenu{QStringLiteral("Recent Runs"), {}};
    for (const RecentRun& run : newestFirst.mid(0, 10)) {
        MenuEntry entry = MenuEntry::item(recentRunText(run), Action::openRecentRun, true);
        entry.representedObject = run.path;
        submenu.entries.push_back(entry);
    }
    if (submenu.entries.empty())
        submenu.entries.push_back(MenuEntry::info(QStringLiteral("No runs yet")));
    submenu.entries.push_back(MenuEntry::separatorEntry());
    submenu.entries.push_back(MenuEntry::item(QStringLiteral("Show All Runs…"), Action::showAllRuns, true));
    return MenuEntry::holder(QStringLiteral("Recent Runs"), std::move(submenu));
}

} // namespace veldrin
