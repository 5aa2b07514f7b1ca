#include "platform/linux/DBusMenu.h"

#include <QDBusAbstractAdaptor>
#include <QTimer>

namespace veldrin {

namespace {

// Questions about items the menu does not have, or properties they lack, are
// answered with InvalidArgs. Arrays in requests arrive as the bounded types
// of TrayTypes.h, so a request of a million ids costs what one of a few does.
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
        connect(menu, &DBusMenu::itemsPropertiesUpdated, this, &DBusMenuAdaptor::ItemsPropertiesUpdated);
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
    QList<veldrin::DBusMenuProperties> GetGroupProperties(const veldrin::DBusMenuIdList& ids,
                                                          const QStringList& propertyNames) {
        return menu_->properties(ids.ids, propertyNames);
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
    QList<int> EventGroup(const veldrin::DBusMenuEventBatch& batch) {
        QList<int> unknown;
        for (const auto& [id, eventId] : batch.events) {
            if (!menu_->handleEvent(id, eventId))
                unknown << id;
        }
        return unknown;
    }
    bool AboutToShow(int id) { return menu_->aboutToShow(id); }
    QList<int> AboutToShowGroup(const veldrin::DBusMenuIdList& ids, QList<int>& idErrors) {
        QList<int> updates;
        idErrors = {};
        for (const int id : ids.ids)
            (menu_->aboutToShow(id) ? updates : idErrors) << id;
        return updates;
    }

Q_SIGNALS:
    // Spelt out: QtDBus knows the types by these names, not by their aliases.
    void ItemsPropertiesUpdated(const QList<veldrin::DBusMenuProperties>& updatedProps,
                                const QList<veldrin::DBusMenuRemoved>& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    void refuse(const QString& why) { menu_->refuseCall(why); }

    DBusMenu* menu_;
};

} // namespace

DBusMenu::DBusMenu(QObject* parent) : QObject(parent), pendingUpdate_(new QTimer(this)) {
    registerTrayTypes();
    pendingUpdate_->setSingleShot(true);
    connect(pendingUpdate_, &QTimer::timeout, this, &DBusMenu::update);
    new DBusMenuAdaptor(this);
}

void DBusMenu::menuChanged() {
    // Nothing to keep up to date before a host has read the menu.
    if (!built_ || pendingUpdate_->isActive())
        return;
    const auto since = lastUpdate_ ? Clock::now() - *lastUpdate_ : Clock::duration::max();
    pendingUpdate_->start(since >= spacing.rebuild
                              ? std::chrono::milliseconds(0)
                              : std::chrono::ceil<std::chrono::milliseconds>(spacing.rebuild - since));
}

void DBusMenu::update() {
    pendingUpdate_->stop();
    if (!delegate_)
        return;
    struct Fill : StatusMenu {
        std::vector<MenuEntry> entries;
        void setEntries(const std::vector<MenuEntry>& e) override { entries = e; }
    } fill;
    delegate_->rebuildMenu(fill);
    DBusMenuTree next(fill.entries, ids_);
    lastUpdate_ = Clock::now();
    const DBusMenuChanges changes(tree_, next);
    tree_ = std::move(next);
    if (!built_) { // no host has a copy to bring up to date
        built_ = true;
        return;
    }
    if (!changes.updated.isEmpty() || !changes.removed.isEmpty())
        Q_EMIT itemsPropertiesUpdated(changes.updated, changes.removed);
    if (!changes.relaidOut.isEmpty()) {
        ++revision_;
        for (const int parent : changes.relaidOut)
            Q_EMIT layoutUpdated(revision_, parent);
    }
}

void DBusMenu::ensureBuilt() {
    // A host that reads before it ever announces an opening still gets the menu.
    if (!built_)
        update();
}

std::optional<DBusMenuLayout> DBusMenu::layout(int parentId, int depth, const QStringList& names) {
    ensureBuilt();
    if (!tree_.node(parentId))
        return std::nullopt;
    return tree_.layout(parentId, depth, wantedProperties(names, dbusMenuRequestLimit));
}

DBusMenuPropertiesList DBusMenu::properties(const QList<int>& ids, const QStringList& names) {
    ensureBuilt();
    const std::optional<QSet<QString>> wanted = wantedProperties(names, dbusMenuRequestLimit);
    QSet<int> answered;
    DBusMenuPropertiesList out;
    for (const int id : ids) {
        if (out.size() == tree_.size())
            break; // every item is answered
        const DBusMenuNode* node = tree_.node(id);
        if (!node || answered.contains(id))
            continue;
        answered.insert(id);
        out << DBusMenuProperties{id, onlyWanted(node->properties, wanted)};
    }
    return out;
}

bool DBusMenu::aboutToShow(int id) {
    ensureBuilt();
    if (!tree_.node(id))
        return false;
    if (id == 0 && delegate_) {
        delegate_->menuOpening();
        // Built afresh for the opening; hosts that open it over and over
        // share one build per spacing.
        if (!lastUpdate_ || Clock::now() - *lastUpdate_ >= spacing.rebuild)
            update();
        else
            menuChanged();
    }
    // The host may fetch the item again: it costs no more than the menu's size.
    return true;
}

bool DBusMenu::handleEvent(int id, const QString& eventId) {
    ensureBuilt();
    const DBusMenuNode* node = tree_.node(id);
    if (!node)
        return false;
    if (eventId != QLatin1String("clicked") || !node->enabled || node->action == Action::none || !delegate_)
        return true;
    const Clock::time_point now = Clock::now();
    if (lastClick_ && now - *lastClick_ < spacing.click)
        return true;
    lastClick_ = now;
    const Action chosen = node->action;
    const QVariant object = node->representedObject;
    // After the reply, so that an alert the action opens does not hold the host.
    QTimer::singleShot(0, this, [this, chosen, object] {
        if (delegate_)
            delegate_->perform(chosen, object);
    });
    return true;
}

} // namespace veldrin

#include "DBusMenu.moc"
