#include "gui/QtMenu.h"

#include "menu/TitleText.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>

namespace veldrin {

namespace {

// Tooltips are shown as rich text when they look like markup; wrapping the
// escaped text keeps them literal.
QString literalToolTip(const QString& text) {
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

void clearMenu(QMenu* menu) {
    // Submenus are children of the menu, not of their actions: release them
    // too. They are closed while their parent is about to open.
    QList<QMenu*> submenus;
    for (QAction* action : menu->actions()) {
        if (QMenu* sub = action->menu())
            submenus << sub;
    }
    menu->clear();
    qDeleteAll(submenus);
}

void fill(QMenu* menu, const std::vector<MenuEntry>& entries, const PerformAction& perform) {
    for (const MenuEntry& e : entries) {
        if (e.separator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = nullptr;
        if (e.submenu) {
            auto* sub = new QMenu(literalMenuText(e.submenu->title), menu);
            sub->setToolTipsVisible(true);
            fill(sub, e.submenu->entries, perform);
            action = sub->menuAction();
            action->setText(literalMenuText(e.title));
            menu->addAction(action);
        } else {
            action = menu->addAction(literalMenuText(e.title));
        }
        action->setEnabled(e.enabled);
        if (e.checkmark != Checkmark::notSet) {
            action->setCheckable(true);
            action->setChecked(e.checkmark == Checkmark::on);
        }
        if (e.toolTip)
            action->setToolTip(literalToolTip(menuTitle(*e.toolTip)));
        if (e.representedObject.isValid())
            action->setData(e.representedObject);
        if (!e.keyEquivalent.isEmpty()) {
            // Ctrl is Command on macOS.
            action->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + e.keyEquivalent.toUpper()));
            action->setShortcutVisibleInContextMenu(true);
        }
        if (e.action != Action::none) {
            const Action chosen = e.action;
            const QVariant object = e.representedObject;
            // Queued, so that the menu has closed before an action opens a
            // window or a modal alert; dropped if the menu is gone by then.
            QObject::connect(action, &QAction::triggered, menu, [menu, perform, chosen, object] {
                QMetaObject::invokeMethod(
                    menu, [perform, chosen, object] { perform(chosen, object); }, Qt::QueuedConnection);
            });
        }
    }
}

// Key equivalents work while the menu is open, as they do in a status menu:
// Ctrl+letter picks the enabled item that carries it.
class KeyEquivalentFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* menu = qobject_cast<QMenu*>(watched);
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!menu || key->modifiers() != Qt::ControlModifier)
            return false;
        const QKeySequence pressed(key->keyCombination());
        for (QAction* action : menu->actions()) {
            if (action->isEnabled() && !action->shortcut().isEmpty() && action->shortcut() == pressed) {
                menu->close();
                action->trigger();
                return true;
            }
        }
        return false;
    }
};

} // namespace

QString literalMenuText(const QString& title) {
    // A tab or line break would split the title; menuTitle turns them into spaces.
    QString text = menuTitle(title);
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return text;
}

void renderMenu(QMenu* menu, const std::vector<MenuEntry>& entries, const PerformAction& perform) {
    if (!menu->property("veldrinKeyEquivalents").toBool()) {
        menu->installEventFilter(new KeyEquivalentFilter(menu));
        menu->setProperty("veldrinKeyEquivalents", true);
    }
    clearMenu(menu);
    menu->setToolTipsVisible(true);
    fill(menu, entries, perform);
}

} // namespace veldrin
