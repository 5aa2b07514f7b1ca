// The Qt menu: one long-lived QMenu refilled at every opening, titles shown
// literally on one line, and the chosen operation called after it closes.
#include "gui/QtMenu.h"

#include "support/TestSupport.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

using namespace veldrin;

TEST(QtMenu, ShowsTitlesLiterallyWithFlagsKeysAndSubmenus) {
    QMenu menu;
    MenuEntry checked = MenuEntry::item("Switch", Action::toggleLidKeepAwake, true);
    checked.checkmark = Checkmark::on;
    checked.toolTip = QStringLiteral("<i>plain</i> & literal");
    const MenuEntry holder = MenuEntry::holder("Cloud & Co", {"Cloud & Co", {checked}});
    renderMenu(&menu,
               {MenuEntry::info("Tom & Jerry <b>bold</b>\nsecond line\t" + QString(300, 'x')),
                MenuEntry::separatorEntry(),
                MenuEntry::item("Audit Profiles", Action::auditProfiles, true, "a"), holder},
               [](Action, const QVariant&) {});

    const auto actions = menu.actions();
    ASSERT_EQ(actions.size(), 4);
    const QString shown = "Tom & Jerry <b>bold</b> second line ";
    EXPECT_EQ(actions[0]->iconText(), shown + QString(199 - shown.size(), 'x') + "…");
    EXPECT_FALSE(actions[0]->isEnabled());
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    EXPECT_EQ(actions[3]->iconText(), "Cloud & Co");
    QAction* sw = actions[3]->menu() ? actions[3]->menu()->actions().value(0) : nullptr;
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
    EXPECT_EQ(menu.actions()[0]->text(), "Cloud && more");
    EXPECT_TRUE(menu.actions()[0]->menu()->actions()[0]->isChecked());
    menu.actions()[0]->menu()->actions()[0]->trigger();
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
