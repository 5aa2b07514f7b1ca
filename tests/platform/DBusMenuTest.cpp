// The exported menu on its own: ids that name one entry for good, hosts told
// of every change, and requests whose cost the menu bounds, under a host
// that caches as GNOME's does and under random sequences of calls.

#include "platform/linux/DBusMenu.h"
#include "platform/linux/MenuReaders.h"
#include "platform/linux/TrayState.h"
#include "support/CachingHost.h"
#include "support/TestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>

#include <random>
#include <set>

using namespace veldrin;

namespace {

// A delegate whose menu the test sets; it records openings and choices.
struct Model : MenuDelegate {
    std::vector<MenuEntry> entries;
    int openings = 0;
    QList<std::pair<Action, QVariant>> performed;
    void menuWillOpen(StatusMenu& menu) override { rebuildMenu(menu); }
    void menuOpening() override { ++openings; }
    void rebuildMenu(StatusMenu& menu) override { menu.setEntries(entries); }
    void perform(Action action, const QVariant& object) override { performed.append({action, object}); }
};

MenuEntry run(const QString& path, const QString& title) {
    MenuEntry e = MenuEntry::item(title, Action::openRecentRun, true);
    e.representedObject = path;
    return e;
}

// The shape of the status menu where the reported faults were: a status
// line, the pause switch, Recent Runs and Quit.
std::vector<MenuEntry> statusMenu(const QString& status, const QString& pause, std::vector<MenuEntry> runs) {
    if (runs.empty())
        runs.push_back(MenuEntry::info("No runs yet"));
    runs.push_back(MenuEntry::separatorEntry());
    runs.push_back(MenuEntry::item("Show All Runs…", Action::showAllRuns, true));
    MenuEntry lock = MenuEntry::item("Prevent Idle Screen Lock", Action::togglePreventIdleScreenLock, true);
    lock.checkmark = Checkmark::off;
    return {MenuEntry::info(status),
            MenuEntry::item("Sync_All & <b>more</b>", Action::syncAllNow, true, "s"),
            MenuEntry::item(pause, Action::togglePause, true, "p"),
            MenuEntry::separatorEntry(),
            MenuEntry::holder("Tools", {"Tools", {lock}}),
            MenuEntry::item("Audit Profiles", Action::auditProfiles, true, "a"),
            MenuEntry::holder("Recent Runs", {"Recent Runs", runs}),
            MenuEntry::item("Quit Veldrin", Action::terminate, true, "q")};
}

qsizetype nodes(const DBusMenuLayout& node) {
    qsizetype n = 1;
    for (const DBusMenuLayout& child : node.children)
        n += nodes(child);
    return n;
}

struct Exported {
    Model model;
    DBusMenu menu;
    std::unique_ptr<test::CachingHost> host;
    Exported() {
        menu.setMenuDelegate(&model);
        menu.spacing = {std::chrono::milliseconds(0), std::chrono::milliseconds(0)};
    }
    void attachHost() {
        host = std::make_unique<test::CachingHost>(
            [this] {
                return *menu.layout(0, -1, {"type", "children-display"});
            },
            [this](const QList<int>& ids) { return menu.properties(ids, {}); });
        QObject::connect(&menu, &DBusMenu::layoutUpdated, [this] { host->layoutUpdated(); });
        QObject::connect(
            &menu, &DBusMenu::itemsPropertiesUpdated,
            [this](const auto& updated, const auto& removed) { host->propertiesUpdated(updated, removed); });
    }
    void change(std::vector<MenuEntry> entries) {
        model.entries = std::move(entries);
        menu.menuChanged();
        QCoreApplication::processEvents();
    }
    QString fresh() { return test::layoutText(*menu.layout(0, -1, {})); }
    int idOf(const QString& title) {
        const std::function<int(const DBusMenuLayout&)> find = [&](const DBusMenuLayout& n) {
            if (n.properties.value("label") == title)
                return n.id;
            for (const DBusMenuLayout& child : n.children) {
                if (const int id = find(child); id >= 0)
                    return id;
            }
            return -1;
        };
        return find(*menu.layout(0, -1, {"label"}));
    }
};

} // namespace

TEST(DBusMenu, ACachingHostShowsEveryChangeAndAnIdItCachedStillActsAsItsLabelSays) {
    Exported e;
    e.model.entries = statusMenu("Cannot sync — ChatGPT is running", "Pause Sync", {});
    e.attachHost();
    const int quit = e.host->idOf("Quit Veldrin");
    const int noRuns = e.host->idOf("No runs yet");
    EXPECT_EQ(e.host->text(), e.fresh());
    // What a screen reader speaks through libdbusmenu-gtk: the label, literally.
    const auto spoken = [&](const QString& title) {
        return e.menu.properties({e.host->idOf(title)}, {"accessible-desc"}).value(0).properties;
    };
    EXPECT_EQ(spoken("Sync_All & <b>more</b>"), (QVariantMap{{"accessible-desc", "Sync_All & <b>more</b>"}}));
    EXPECT_TRUE(e.host->text().startsWith("Cannot sync — ChatGPT is running [disabled]\n"
                                          "Sync_All & <b>more</b> [key s]\n"))
        << e.host->text().toStdString();

    // Pause, then two runs: the host learns of each change from signals alone.
    e.change(statusMenu("Sync is paused", "Resume Sync", {}));
    EXPECT_EQ(e.host->text(), e.fresh());
    EXPECT_TRUE(e.host->text().contains("\nResume Sync [key p]\n"));
    EXPECT_EQ(spoken("Resume Sync").value("accessible-desc"), "Resume Sync"); // kept current
    e.change(statusMenu("Working…", "Pause Sync", {run("/r/1.log", "12:00 Veldrin Audit — exit code 0")}));
    e.change(statusMenu("Ready — click Sync Now", "Pause Sync",
                        {run("/r/2.log", "12:01 Veldrin Audit — running"),
                         run("/r/1.log", "12:00 Veldrin Audit — exit code 0")}));
    EXPECT_EQ(e.host->text(), e.fresh());
    EXPECT_TRUE(e.host->text().contains("Recent Runs\n  12:01 Veldrin Audit — running\n"
                                        "  12:00 Veldrin Audit — exit code 0\n  ---\n  Show All Runs…\n"))
        << e.host->text().toStdString();

    // The ids the host cached still do what their labels say; a gone one does nothing.
    EXPECT_EQ(e.host->idOf("Quit Veldrin"), quit);
    EXPECT_TRUE(e.menu.handleEvent(quit, "clicked"));
    EXPECT_TRUE(e.menu.handleEvent(e.host->idOf("Show All Runs…"), "clicked"));
    EXPECT_TRUE(e.menu.handleEvent(e.host->idOf("12:00 Veldrin Audit — exit code 0"), "clicked"));
    EXPECT_FALSE(e.menu.handleEvent(noRuns, "clicked"));
    ASSERT_TRUE(test::waitUntil([&] { return e.model.performed.size() == 3; }));
    EXPECT_EQ(e.model.performed[0].first, Action::terminate);
    EXPECT_EQ(e.model.performed[1].first, Action::showAllRuns);
    EXPECT_EQ(e.model.performed[2], std::pair(Action::openRecentRun, QVariant("/r/1.log")));

    // An opening starts the delegate's checks and is answered at once; clicks
    // on a disabled entry, or closer together than a person clicks, do nothing.
    e.menu.opening();
    EXPECT_EQ(e.model.openings, 1);
    Exported clicks;
    clicks.model.entries = statusMenu("Working…", "Pause Sync", {});
    std::ranges::find(clicks.model.entries, Action::togglePause, &MenuEntry::action)->enabled = false;
    clicks.attachHost();
    clicks.menu.spacing.click = std::chrono::seconds(10);
    EXPECT_TRUE(clicks.menu.handleEvent(clicks.host->idOf("Pause Sync"), "clicked"));
    EXPECT_TRUE(clicks.menu.handleEvent(clicks.host->idOf("Audit Profiles"), "clicked"));
    EXPECT_TRUE(clicks.menu.handleEvent(clicks.host->idOf("Audit Profiles"), "clicked"));
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks.model.performed, (QList<std::pair<Action, QVariant>>{{Action::auditProfiles, {}}}));
}

TEST(DBusMenu, RandomCallsAreAnsweredWithinTheMenusBoundsAndTheHostsCopyStaysTrue) {
    std::mt19937 random(20261207);
    const auto pick = [&](int n) { return int(random() % unsigned(n)); };
    Exported e;
    QStringList paths;
    const auto randomMenu = [&] {
        std::vector<MenuEntry> runs;
        for (const QString& path : paths.mid(0, 1 + pick(10)))
            runs.push_back(run(path, path + (pick(2) ? " — running" : " — exit code 3")));
        auto m = statusMenu(QString("status %1").arg(pick(4)), pick(2) ? "Pause Sync" : "Resume Sync", runs);
        m[1].enabled = pick(2);
        m[4].submenu =
            std::make_shared<Menu>(Menu{"Tools", {MenuEntry::item("x", Action::toggleLidKeepAwake, true)}});
        if (pick(3) == 0)
            m.insert(m.begin() + 1, MenuEntry::info(QString(pick(300), QChar('_'))));
        return m;
    };
    paths << "/r/0.log";
    e.model.entries = randomMenu();
    e.attachHost();
    const QStringList names{"label", "type", "enabled", "nonsense", "shortcut", "children-display", ""};
    std::map<int, std::pair<Action, QVariant>> identity; // what each id has ever named
    for (int step = 0; step < 400; ++step) {
        switch (pick(6)) {
        case 0:
            paths.prepend(QString("/r/%1.log").arg(step));
            [[fallthrough]];
        case 1:
            e.change(randomMenu());
            ASSERT_EQ(e.host->text(), e.fresh()) << "step " << step;
            break;
        case 2: { // a layout of any depth and any names, asked of any item
            const int id = pick(3) ? pick(40) : -pick(5);
            QStringList asked;
            for (int i = pick(4) ? pick(6) : 5000; i > 0; --i)
                asked << names[pick(int(names.size()))];
            const auto layout = e.menu.layout(id, pick(4) - 1, asked);
            if (layout) {
                EXPECT_LE(layout->properties.size(), dbusMenuPropertyNames.size());
            }
            break;
        }
        case 3: { // many ids, most repeated or unknown: each item the menu has is answered once
            QList<int> ids;
            for (int i = pick(2) ? pick(20) : 100000; i > 0; --i)
                ids << pick(60) - 5;
            const DBusMenuPropertiesList answer = e.menu.properties(ids, {});
            std::set<int> distinct;
            for (const auto& item : answer)
                distinct.insert(item.id);
            EXPECT_EQ(distinct.size(), std::size_t(answer.size()));
            EXPECT_LE(answer.size(), nodes(*e.menu.layout(0, -1, {})));
            break;
        }
        case 4: { // a click on any id acts as the label the host shows for it says
            const int id = pick(60) - 5;
            const qsizetype before = e.model.performed.size();
            e.menu.handleEvent(id, pick(4) ? "clicked" : "hovered");
            QCoreApplication::processEvents();
            if (e.model.performed.size() > before) {
                const auto& [action, object] = e.model.performed.last();
                const auto seen = identity.find(id);
                if (seen != identity.end()) {
                    EXPECT_EQ(seen->second, e.model.performed.last()) << "id " << id << " changed meaning";
                }
                identity[id] = {action, object};
                if (action == Action::openRecentRun) {
                    EXPECT_TRUE(e.host->text().contains(object.toString() + " — "));
                }
            }
            break;
        }
        case 5:
            e.menu.opening();
            break;
        }
    }
    EXPECT_EQ(e.host->text(), e.fresh());
}

// AboutToShow says "read it again" exactly when that host's copy of the
// submenu is out of date: GNOME's host, which reads everything, keeps an
// open submenu open; libdbusmenu-qt, which reads a submenu only when told,
// is told after a run came into Recent Runs, even once it ignored the
// LayoutUpdated that said so.
TEST(DBusMenu, AboutToShowAsksAHostToReadASubmenuAgainOnlyWhenItsCopyIsOutOfDate) {
    Exported e;
    TrayState state;
    e.menu.publishTo(&state);
    e.model.entries =
        statusMenu("Working…", "Pause Sync", {run("/r/1.log", "12:00 Veldrin Audit — running")});
    e.menu.update();
    const int tools = e.idOf("Tools");
    const int recent = e.idOf("Recent Runs");
    MenuReaders readers;
    const auto needs = [&](const QString& host, int id) {
        return readers.needsUpdate(host, *state.menu().tree, id);
    };
    readers.read(":1.gnome", *state.menu().tree, 0, -1);
    readers.read(":1.qt", *state.menu().tree, 0, 1);
    EXPECT_FALSE(needs(":1.gnome", 0) || needs(":1.gnome", recent) || needs(":1.qt", 0));
    EXPECT_TRUE(needs(":1.qt", recent));
    EXPECT_TRUE(needs(":1.never-read", 0));
    readers.read(":1.qt", *state.menu().tree, recent, 1);
    EXPECT_FALSE(needs(":1.qt", recent));

    // A label that changes is a property: nobody reads again.
    e.change(statusMenu("Working…", "Pause Sync", {run("/r/1.log", "12:00 Veldrin Audit — exit code 0")}));
    EXPECT_FALSE(needs(":1.gnome", recent) || needs(":1.qt", recent) || needs(":1.gnome", 0));
    // A second run: both read Recent Runs again, and nothing else.
    e.change(statusMenu("Working…", "Pause Sync",
                        {run("/r/2.log", "12:01 Veldrin Audit — running"),
                         run("/r/1.log", "12:00 Veldrin Audit — exit code 0")}));
    EXPECT_TRUE(needs(":1.gnome", recent) && needs(":1.qt", recent));
    EXPECT_FALSE(needs(":1.gnome", 0) || needs(":1.gnome", tools) || needs(":1.qt", 0));
    readers.read(":1.gnome", *state.menu().tree, 0, -1);
    EXPECT_FALSE(needs(":1.gnome", recent));
    EXPECT_TRUE(needs(":1.qt", recent));

    // Hosts beyond the bound are forgotten, the least recently heard first.
    for (std::size_t i = 0; i < MenuReaders::maxHosts; ++i)
        readers.read(QString(":2.%1").arg(i), *state.menu().tree, 0, -1);
    EXPECT_TRUE(needs(":1.gnome", 0));
    EXPECT_FALSE(needs(":2.15", recent));
}
