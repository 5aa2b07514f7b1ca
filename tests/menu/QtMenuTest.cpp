// The status menu as the user meets it: one long-lived QMenu, refilled at
// every opening, showing titles literally and calling the chosen operation.
#include "app/AppDelegate.h"
#include "exec/LogWindow.h"
#include "menu/MenuBuilder.h"
#include "menu/QtMenu.h"

#include "support/Fakes.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

using namespace veldrin;

namespace {

QList<QAction*> items(QMenu* menu) {
    QList<QAction*> out;
    for (QAction* a : menu->actions())
        if (!a->isSeparator())
            out << a;
    return out;
}

QAction* find(QMenu* menu, const QString& visibleText) {
    for (QAction* a : menu->actions())
        if (a->iconText() == visibleText)
            return a;
    return nullptr;
}

struct Running {
    test::TempHome home;
    test::FakePlatform fakes;
    AppDelegate delegate{fakes.make()};
    QMenu* menu = nullptr;

    explicit Running(const QByteArray& body = "exit 0") {
        home.writeController(test::recordingController(body));
        delegate.applicationDidFinishLaunching({});
        menu = fakes.statusBar->created->menu();
    }
    void open() { Q_EMIT menu->aboutToShow(); }
};

} // namespace

TEST(QtMenu, ShowsTitlesLiterallyWithFlagsKeysAndSubmenus) {
    QMenu menu;
    MenuEntry amp = MenuEntry::info(QStringLiteral("Tom & Jerry <b>bold</b>"));
    MenuEntry checked = MenuEntry::item(QStringLiteral("Switch"), QStringLiteral("toggleLidKeepAwake"), true);
    checked.checkmark = Checkmark::on;
    checked.toolTip = QStringLiteral("<i>plain</i> & literal");
    MenuEntry holder;
    holder.title = QStringLiteral("Cloud & Co");
    holder.submenu = std::make_shared<const Menu>(Menu{QStringLiteral("Cloud & Co"), {checked}});
    renderMenu(&menu,
               {amp, MenuEntry::separatorEntry(),
                MenuEntry::item(QStringLiteral("Audit Profiles"), QStringLiteral("auditProfiles"), true, "a"), holder},
               nullptr);

    const auto actions = menu.actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("Tom && Jerry <b>bold</b>"));
    EXPECT_EQ(actions[0]->iconText(), QStringLiteral("Tom & Jerry <b>bold</b>"));
    EXPECT_FALSE(actions[0]->isEnabled());
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    EXPECT_TRUE(actions[2]->isEnabled());
    ASSERT_NE(actions[3]->menu(), nullptr);
    EXPECT_EQ(actions[3]->iconText(), QStringLiteral("Cloud & Co"));
    QAction* sw = actions[3]->menu()->actions().value(0);
    ASSERT_NE(sw, nullptr);
    EXPECT_TRUE(sw->isCheckable());
    EXPECT_TRUE(sw->isChecked());
    // The tooltip is wrapped as escaped text so that Qt cannot take it as markup.
    EXPECT_TRUE(sw->toolTip().contains(QStringLiteral("&lt;i&gt;plain&lt;/i&gt; &amp; literal")));
}

TEST(QtMenu, EveryOpeningRefreshesAndRebuildsTheSameEntries) {
    Running app;
    const int callsAtLaunch = test::recordedCalls(app.home).size();
    app.open();
    EXPECT_EQ(test::recordedCalls(app.home).size(), callsAtLaunch + 1);
    QStringList first;
    for (QAction* a : app.menu->actions())
        first << a->text() + (a->isEnabled() ? "" : " off");
    ASSERT_EQ(items(app.menu).size(), 24);
    EXPECT_EQ(items(app.menu).first()->iconText(), QStringLiteral("Ready — click Sync Now"));

    QPointer<QMenu> oldCloudMenu = find(app.menu, QStringLiteral("Cloud Sync — Pri off · Alt off · Tri off"))->menu();
    app.open();
    QStringList second;
    for (QAction* a : app.menu->actions())
        second << a->text() + (a->isEnabled() ? "" : " off");
    EXPECT_EQ(first, second);
    // The previous opening's submenus are released, not piled up.
    EXPECT_TRUE(oldCloudMenu.isNull());
    EXPECT_EQ(app.menu->findChildren<QMenu*>().size(), 2);
}

TEST(QtMenu, OpeningShowsTheCurrentStateAndBuilds) {
    Running app("[ \"$1\" = app-processes ] && printf '77\\tChatGPT\\n'; exit 0");
    app.open();
    EXPECT_EQ(items(app.menu)[0]->iconText(), QStringLiteral("Cannot sync — ChatGPT is running"));
    EXPECT_FALSE(find(app.menu, QStringLiteral("Sync Primary ↔ Alt ↔ Tri"))->isEnabled());
    // No bundles installed: every build reads "0".
    EXPECT_EQ(items(app.menu)[2]->iconText(), QStringLiteral("Alt up to date (build 0)"));
    EXPECT_EQ(items(app.menu)[3]->iconText(), QStringLiteral("Tri up to date (build 0)"));
    EXPECT_EQ(items(app.menu)[1]->iconText(), QStringLiteral("Veldrin 2.4.1 (build 318)"));
}

TEST(QtMenu, ChoosingAuditProfilesRunsTheControllerIntoItsWindow) {
    Running app("[ \"$1\" = audit ] && echo 'Profiles look fine'; exit 0");
    app.open();
    QAction* audit = find(app.menu, QStringLiteral("Audit Profiles"));
    ASSERT_NE(audit, nullptr);
    audit->trigger();
    // The operation runs once the menu has closed, not inside the trigger.
    EXPECT_EQ(app.delegate.logWindow, nullptr);
    ASSERT_TRUE(test::waitUntil([&] { return app.delegate.logWindow && !app.delegate.activeProcess; }));
    EXPECT_EQ(test::recordedCalls(app.home).count(QStringList{QStringLiteral("audit")}), 1);
    EXPECT_EQ(app.delegate.logWindow->window()->windowTitle(), QStringLiteral("Veldrin Audit"));
    ASSERT_TRUE(test::waitUntil([&] {
        return app.delegate.logWindow->transcript().endsWith(QStringLiteral("\nFinished with exit code 0.\n"));
    }));
    EXPECT_EQ(app.delegate.logWindow->transcript(),
              QStringLiteral("Profiles look fine\n\nFinished with exit code 0.\n"));
}
