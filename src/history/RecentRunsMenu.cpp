#include "history/RecentRunsMenu.h"

#include "menu/TitleText.h"

#include <chrono>
#include <ctime>

namespace veldrin {

QString recentRunText(const RecentRun& run) {
    QString result;
    if (!run.saved)
        result = QStringLiteral("not saved");
    else if (run.running)
        result = QStringLiteral("running");
    else if (run.outcome)
        result = outcomeResultText(*run.outcome);
    // The local clock time it started at. localtime_r, as Qt's own conversion
    // would, but without Qt re-reading the zone for each run: the menu
    // re-reads it once per opening (recentRunsEntry).
    const std::time_t seconds =
        std::chrono::duration_cast<std::chrono::seconds>(run.started.time_since_epoch()).count();
    std::tm local{};
    QString time = QStringLiteral("--:--");
    if (localtime_r(&seconds, &local))
        time = QStringLiteral("%1:%2")
                   .arg(local.tm_hour, 2, 10, QLatin1Char('0'))
                   .arg(local.tm_min, 2, 10, QLatin1Char('0'));
    return time + QLatin1Char(' ') + untrustedText(run.title) +
           (result.isEmpty() ? QString() : QStringLiteral(" — ") + result);
}

MenuEntry recentRunsEntry(const QList<RecentRun>& newestFirst) {
    tzset(); // a change of time zone shows at the next opening
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
