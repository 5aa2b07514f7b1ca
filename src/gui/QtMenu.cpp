#include "gui/QtMenu.h"

#include "gui/LiteralToolTip.h"
#include "menu/TitleText.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>

namespace veldrin {

namespace {

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

// Gives `action` everything the entry says, replacing what an earlier
// opening gave it.
void configure(QAction* action, QMenu* menu, const MenuEntry& e, const PerformAction& perform) {
    action->setText(literalMenuText(e.title));
    action->setEnabled(e.enabled);
    action->setCheckable(e.checkmark != Checkmark::notSet);
    action->setChecked(e.checkmark == Checkmark::on);
    action->setToolTip(e.toolTip ? literalToolTip(menuTitle(*e.toolTip)) : QString());
    action->setData(e.representedObject);
    // Ctrl is Command on macOS.
    action->setShortcut(e.keyEquivalent.isEmpty()
                            ? QKeySequence()
                            : QKeySequence(QStringLiteral("Ctrl+") + e.keyEquivalent.toUpper()));
    action->setShortcutVisibleInContextMenu(!e.keyEquivalent.isEmpty());
    QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
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
            menu->addAction(action);
        } else {
            action = menu->addAction(QString());
        }
        configure(action, menu, e, perform);
    }
}

// Whether the menu already has the entries' items, separators and submenus
// in their places, so that the next opening can reuse them.
bool sameShape(const QMenu* menu, const std::vector<MenuEntry>& entries) {
    const QList<QAction*> actions = menu->actions();
    if (actions.size() != qsizetype(entries.size()))
        return false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const QMenu* sub = actions[qsizetype(i)]->menu();
        const MenuEntry& e = entries[i];
        if (actions[qsizetype(i)]->isSeparator() != e.separator || bool(sub) != bool(e.submenu) ||
            (sub && !sameShape(sub, e.submenu->entries)))
            return false;
    }
    return true;
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

// Whether `a` and `b` give an item the same title, state and choice.
bool sameItem(const MenuEntry& a, const MenuEntry& b) {
    return a.separator == b.separator && a.title == b.title && a.action == b.action &&
           a.keyEquivalent == b.keyEquivalent && a.enabled == b.enabled && a.checkmark == b.checkmark &&
           a.toolTip == b.toolTip && a.representedObject == b.representedObject;
}

// `shown`, when given, is what the items were last configured with: an item
// whose entry has not changed is left alone (unless a click toggled its
// check), which is most of them at most openings.
void update(QMenu* menu, const std::vector<MenuEntry>& entries, const std::vector<MenuEntry>* shown,
            const PerformAction& perform) {
    const QList<QAction*> actions = menu->actions();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const MenuEntry& e = entries[i];
        QAction* action = actions[qsizetype(i)];
        if (e.separator)
            continue;
        const MenuEntry* before = shown ? &(*shown)[i] : nullptr;
        if (e.submenu) {
            action->menu()->setTitle(literalMenuText(e.submenu->title));
            update(action->menu(), e.submenu->entries, before ? &before->submenu->entries : nullptr, perform);
        }
        if (before && sameItem(e, *before) && action->isChecked() == (e.checkmark == Checkmark::on))
            continue;
        configure(action, menu, e, perform);
    }
}

void render(QMenu* menu, const std::vector<MenuEntry>& entries, const std::vector<MenuEntry>* shown,
            const PerformAction& perform) {
    if (!menu->property("veldrinKeyEquivalents").toBool()) {
        menu->installEventFilter(new KeyEquivalentFilter(menu));
        menu->setProperty("veldrinKeyEquivalents", true);
    }
    // Each opening brings the same items with new titles and flags, so the
    // ones already there are reused; making them anew is most of an opening's
    // cost once the controller has answered.
    if (sameShape(menu, entries)) {
        update(menu, entries, shown, perform);
        return;
    }
    clearMenu(menu);
    menu->setToolTipsVisible(true);
    fill(menu, entries, perform);
}

} // namespace

QString literalMenuText(const QString& title) {
    // A tab or line break would split the title; menuTitle turns them into spaces.
    QString text = menuTitle(title);
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return text;
}

void renderMenu(QMenu* menu, const std::vector<MenuEntry>& entries, const PerformAction& perform) {
    render(menu, entries, nullptr, perform);
}

void QtStatusMenu::setEntries(const std::vector<MenuEntry>& entries) {
    render(menu_, entries, sameShape(menu_, shown_) ? &shown_ : nullptr, perform_);
    shown_ = entries;
}

} // namespace veldrin
