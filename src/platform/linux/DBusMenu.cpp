#include "platform/linux/DBusMenu.h"

#include "menu/TitleText.h"

#include <QDBusAbstractAdaptor>
#include <QSet>
#include <QTimer>

#include <algorithm>

namespace veldrin {

namespace {

QString label(const QString& title) {
    return menuTitle(title).replace(QLatin1Char('_'), QStringLiteral("__"));
}

QVariantMap itemProperties(const MenuEntry* e) {
    QVariantMap p;
    if (!e) { // the root
        p.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
        return p;
    }
    if (e->separator) {
        p.insert(QStringLiteral("type"), QStringLiteral("separator"));
        return p;
    }
    p.insert(QStringLiteral("label"), label(e->title));
    p.insert(QStringLiteral("enabled"), e->enabled);
    if (e->submenu)
        p.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    if (e->checkmark != Checkmark::notSet) {
        p.insert(QStringLiteral("toggle-type"), QStringLiteral("checkmark"));
        p.insert(QStringLiteral("toggle-state"), e->checkmark == Checkmark::on ? 1 : 0);
    }
    if (!e->keyEquivalent.isEmpty()) {
        // Ctrl, as the Qt menu shows it.
        const QList<QStringList> shortcut{{QStringLiteral("Control"), e->keyEquivalent}};
        p.insert(QStringLiteral("shortcut"), QVariant::fromValue(shortcut));
    }
    // The protocol has no tooltip; its description for assistive tools is
    // the nearest, and hosts that show one take it from there.
    if (e->toolTip)
        p.insert(QStringLiteral("accessible-desc"), menuTitle(*e->toolTip));
    return p;
}

QVariantMap only(QVariantMap properties, const QSet<QString>& names) {
    if (names.isEmpty())
        return properties;
    for (auto it = properties.begin(); it != properties.end();)
        it = names.contains(it.key()) ? std::next(it) : properties.erase(it);
    return properties;
}

// Questions about items the menu does not have, or properties they lack,
// are answered with InvalidArgs.
class DBusMenuAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)
public:
    explicit DBusMenuAdaptor(DBusMenu* menu) : QDBusAbstractAdaptor(menu), menu_(menu) {
        connect(menu, &DBusMenu::layoutUpdated, this, &DBusMenuAdaptor::LayoutUpdated);
    }
    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public Q_SLOTS:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   veldrin::DBusMenuLayout& layout) {
        const std::optional<DBusMenuLayout> found = menu_->layout(parentId, recursionDepth, propertyNames);
        if (!found) {
            refuse(QStringLiteral("no item %1").arg(parentId));
            return 0;
        }
        layout = *found;
        return menu_->revision();
    }
    QList<veldrin::DBusMenuProperties> GetGroupProperties(const QList<int>& ids,
                                                          const QStringList& propertyNames) {
        return menu_->properties(ids, propertyNames);
    }
    QDBusVariant GetProperty(int id, const QString& name) {
        const DBusMenuPropertiesList found = menu_->properties({id}, {name});
        if (found.isEmpty() || !found[0].properties.contains(name)) {
            refuse(QStringLiteral("no property %1 on item %2").arg(name).arg(id));
            return QDBusVariant(QString());
        }
        return QDBusVariant(found[0].properties.value(name));
    }
    void Event(int id, const QString& eventId, const QDBusVariant&, uint) {
        if (!menu_->handleEvent(id, eventId))
            refuse(QStringLiteral("no item %1").arg(id));
    }
    QList<int> EventGroup(const QList<veldrin::DBusMenuEvent>& events) {
        QList<int> errors;
        for (const DBusMenuEvent& e : events) {
            if (!menu_->handleEvent(e.id, e.eventId))
                errors << e.id;
        }
        return errors;
    }
    bool AboutToShow(int id) { return menu_->aboutToShow(id); }
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
        idErrors = {};
        return menu_->aboutToShow(ids, idErrors);
    }

Q_SIGNALS:
    void ItemsPropertiesUpdated(const QList<veldrin::DBusMenuProperties>& updated,
                                const QList<veldrin::DBusMenuRemoved>& removed);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    void refuse(const QString& why) { menu_->refuseCall(why); }

    DBusMenu* menu_;
};

} // namespace

DBusMenu::DBusMenu(QObject* parent) : QObject(parent) {
    registerTrayTypes();
    new DBusMenuAdaptor(this);
}

void DBusMenu::open() {
    if (!delegate_)
        return;
    struct Fill : StatusMenu {
        std::vector<MenuEntry> entries;
        void setEntries(const std::vector<MenuEntry>& e) override { entries = e; }
    } fill;
    delegate_->menuWillOpen(fill);
    entries_ = std::move(fill.entries);
    byId_.assign(1, nullptr);
    number(entries_);
    opened_ = true;
    ++revision_;
    Q_EMIT layoutUpdated(revision_, 0);
}

void DBusMenu::number(const std::vector<MenuEntry>& entries) {
    for (const MenuEntry& e : entries) {
        byId_.push_back(&e);
        if (e.submenu)
            number(e.submenu->entries);
    }
}

const MenuEntry* DBusMenu::entry(int id) const {
    return id > 0 && std::size_t(id) < byId_.size() ? byId_[std::size_t(id)] : nullptr;
}

std::optional<DBusMenuLayout> DBusMenu::layout(int parentId, int depth, const QStringList& names) {
    // A host that fetches before it ever announces an opening still gets the menu.
    if (!opened_)
        open();
    if (!has(parentId))
        return std::nullopt;
    const QSet<QString> wanted(names.begin(), names.end());
    if (parentId == 0)
        return layoutOf(0, &entries_, depth, wanted);
    const MenuEntry* e = entry(parentId);
    return layoutOf(parentId, e->submenu ? &e->submenu->entries : nullptr, depth, wanted);
}

DBusMenuLayout DBusMenu::layoutOf(int id, const std::vector<MenuEntry>* children, int depth,
                                  const QSet<QString>& names) const {
    DBusMenuLayout node;
    node.id = id;
    node.properties = only(itemProperties(entry(id)), names);
    if (!children || depth == 0)
        return node;
    for (const MenuEntry& child : *children) {
        const auto at = std::find(byId_.begin(), byId_.end(), &child);
        const int childId = int(at - byId_.begin());
        node.children << layoutOf(childId, child.submenu ? &child.submenu->entries : nullptr,
                                  depth < 0 ? depth : depth - 1, names);
    }
    return node;
}

DBusMenuPropertiesList DBusMenu::properties(const QList<int>& ids, const QStringList& names) {
    // The answer never outgrows the menu, whatever the size of the question.
    const QSet<QString> wanted(names.begin(), names.end());
    std::vector<bool> answered(byId_.size());
    DBusMenuPropertiesList out;
    for (int id : ids) {
        if (!has(id) || answered[std::size_t(id)])
            continue;
        answered[std::size_t(id)] = true;
        out << DBusMenuProperties{id, only(itemProperties(entry(id)), wanted)};
        if (std::size_t(out.size()) == byId_.size())
            break;
    }
    return out;
}

bool DBusMenu::aboutToShow(int id) {
    if (id != 0)
        return false; // submenus come with the root's opening
    open();
    return true;
}

QList<int> DBusMenu::aboutToShow(const QList<int>& ids, QList<int>& unknown) {
    QList<int> updates;
    if (ids.contains(0) && aboutToShow(0))
        updates << 0;
    QSet<int> refused;
    for (int id : ids) {
        if (!has(id) && !refused.contains(id)) {
            refused.insert(id);
            unknown << id;
        }
    }
    return updates;
}

bool DBusMenu::handleEvent(int id, const QString& eventId) {
    const MenuEntry* e = entry(id);
    if (id != 0 && !e)
        return false;
    if (eventId != QLatin1String("clicked") || !e || !e->enabled || e->action == Action::none || !delegate_)
        return true;
    const Action chosen = e->action;
    const QVariant object = e->representedObject;
    // After the reply, so that an alert the action opens does not hold the host.
    QTimer::singleShot(0, this, [this, chosen, object] {
        if (delegate_)
            delegate_->perform(chosen, object);
    });
    return true;
}

} // namespace veldrin

#include "DBusMenu.moc"
