#include "menu/QtMenu.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPointer>

namespace veldrin {

namespace {

// Tooltips are shown as rich text when they look like markup; wrapping the
// escaped text keeps them literal.
QString literalToolTip(const QString& text) {
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

void invokeAction(QObject* target, const QString& action, const QVariant& representedObject) {
    if (action == QLatin1String("terminate:")) {
        QCoreApplication::quit();
        return;
    }
    if (!target)
        return;
    QByteArray name = action.toLatin1();
    if (name.endsWith(':')) {
        name.chop(1);
        QMetaObject::invokeMethod(target, name.constData(), Q_ARG(QVariant, representedObject));
    } else {
        QMetaObject::invokeMethod(target, name.constData());
    }
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

void fill(QMenu* menu, const std::vector<MenuEntry>& entries, QObject* target) {
    for (const MenuEntry& e : entries) {
        if (e.separator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = nullptr;
        if (e.submenu) {
            auto* sub = new QMenu(literalMenuText(e.submenu->title), menu);
            sub->setToolTipsVisible(true);
            fill(sub, e.submenu->entries, target);
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
            action->setToolTip(literalToolTip(*e.toolTip));
        if (e.representedObject.isValid())
            action->setData(e.representedObject);
        if (!e.keyEquivalent.isEmpty()) {
            // Ctrl is Command on macOS.
            action->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + e.keyEquivalent.toUpper()));
            action->setShortcutVisibleInContextMenu(true);
        }
        if (!e.action.isEmpty()) {
            const QString name = e.action;
            const QVariant object = e.representedObject;
            QPointer<QObject> receiver(e.targetsDelegate ? target : nullptr);
            // Queued, so that the menu has closed before an action opens a
            // window or a modal alert.
            QObject::connect(action, &QAction::triggered, menu, [receiver, name, object] {
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(), [receiver, name, object] { invokeAction(receiver, name, object); },
                    Qt::QueuedConnection);
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
    QString text = title;
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    // A tab would split the title into text and shortcut columns.
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return text;
}

void renderMenu(QMenu* menu, const std::vector<MenuEntry>& entries, QObject* target) {
    if (!menu->property("veldrinKeyEquivalents").toBool()) {
        menu->installEventFilter(new KeyEquivalentFilter(menu));
        menu->setProperty("veldrinKeyEquivalents", true);
    }
    clearMenu(menu);
    menu->setToolTipsVisible(true);
    fill(menu, entries, target);
}

} // namespace veldrin
