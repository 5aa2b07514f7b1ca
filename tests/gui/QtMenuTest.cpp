// The Qt menu: one long-lived QMenu refilled at every opening, titles shown
// literally on one line, and the chosen operation called after it closes.
#include "gui/QtMenu.h"
#include "menu/MenuBuilder.h"

#include "support/TestSupport.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

#include <algorithm>

using namespace veldrin;

// The item a person would pick by the words it shows (the first that starts with them).
static QAction* shown(const QMenu* menu, const QString& words) {
    for (QAction* action : menu ? menu->actions() : QList<QAction*>())
        if (!action->isSeparator() && action->iconText().startsWith(words))
            return action;
    return nullptr;
}

TEST(QtMenu, ShowsTitlesLiterallyWithFlagsKeysAndSubmenus) {
    QMenu menu;
    MenuEntry checked = MenuEntry::item("Switch", Action::toggleLidKeepAwake, true);
    checked.checkmark = Checkmark::on;
    checked.toolTip = QStringLiteral("<i>plain</i> & literal");
    const MenuEntry holder = MenuEntry::holder("Cloud & Co", {"Cloud & Co", {checked}});
    // As the status menu's model makes them: one line of at most 200 characters.
    renderMenu(&menu,
               withMenuTitles({MenuEntry::info("Tom & Jerry <b>bold</b>\nsecond line\t" + QString(300, 'x')),
                               MenuEntry::separatorEntry(),
                               MenuEntry::item("Audit Profiles", Action::auditProfiles, true, "a"), holder}),
               [](Action, const QVariant&) {});

    const QList<QAction*> actions = menu.actions();
    ASSERT_EQ(actions.size(), 4);
    const QString info = "Tom & Jerry <b>bold</b> second line ";
    QAction* line = shown(&menu, info);
    QAction* cloud = shown(&menu, "Cloud & Co");
    ASSERT_TRUE(line && cloud && shown(&menu, "Audit Profiles"));
    EXPECT_EQ(line->iconText(), info + QString(199 - info.size(), 'x') + "…");
    EXPECT_FALSE(line->isEnabled());
    EXPECT_EQ(
        std::count_if(actions.begin(), actions.end(), [](const QAction* a) { return a->isSeparator(); }), 1);
    EXPECT_EQ(shown(&menu, "Audit Profiles")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    EXPECT_EQ(cloud->iconText(), "Cloud & Co");
    QAction* sw = shown(cloud->menu(), "Switch");
    ASSERT_NE(sw, nullptr);
    EXPECT_TRUE(sw->isCheckable() && sw->isChecked());
    // Escaped, so that Qt cannot take the tooltip for markup.
    EXPECT_TRUE(sw->toolTip().contains("&lt;i&gt;plain&lt;/i&gt; &amp; literal"));
}

TEST(QtMenu, RefillingReusesOrReplacesItemsAndChoicesArriveAfterTheMenuCloses) {
    QMenu menu;
    std::vector<std::pair<Action, QVariant>> chosen;
    QtStatusMenu status(&menu, [&](Action a, const QVariant& o) { chosen.emplace_back(a, o); });
    MenuEntry mode = MenuEntry::item("Up Sync Only", Action::setCloudMode, true);
    mode.representedObject = QStringList{"pri", "up"};
    const MenuEntry quit = MenuEntry::item("Quit Veldrin", Action::terminate, true, "q");
    status.setEntries({MenuEntry::holder("Cloud", {"Cloud", {mode}}), quit});
    // The next opening with the same items reuses them, with its own values.
    mode.representedObject = QStringList{"pri", "down"};
    mode.checkmark = Checkmark::on;
    status.setEntries({MenuEntry::holder("Cloud & more", {"Cloud", {mode}}), quit});
    EXPECT_EQ(menu.findChildren<QMenu*>(Qt::FindDirectChildrenOnly).size(), 1); // not piled up
    QAction* cloud = shown(&menu, "Cloud & more");
    QAction* up = cloud ? shown(cloud->menu(), "Up Sync Only") : nullptr;
    ASSERT_TRUE(up);
    EXPECT_EQ(cloud->text(), "Cloud && more");
    EXPECT_TRUE(up->isChecked());
    up->trigger();
    EXPECT_TRUE(chosen.empty());
    ASSERT_TRUE(test::waitUntil([&] { return !chosen.empty(); }));
    EXPECT_EQ(chosen[0].first, Action::setCloudMode);
    EXPECT_EQ(chosen[0].second.toStringList(), (QStringList{"pri", "down"}));
    // The click unchecked the item; the next opening shows the model's check.
    status.setEntries({MenuEntry::holder("Cloud & more", {"Cloud", {mode}}), quit});
    EXPECT_TRUE(menu.actions()[0]->menu()->actions()[0]->isChecked());

    status.setEntries({quit}); // other items: made anew, the submenu released
    EXPECT_TRUE(menu.findChildren<QMenu*>(Qt::FindDirectChildrenOnly).isEmpty());
    EXPECT_EQ(menu.actions().size(), 1);
}
