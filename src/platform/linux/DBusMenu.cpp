#include "platform/linux/DBusMenu.h"

#include <QTimer>

namespace veldrin {

DBusMenu::DBusMenu(QObject* parent) : QObject(parent), pendingUpdate_(new QTimer(this)) {
    pendingUpdate_->setSingleShot(true);
    connect(pendingUpdate_, &QTimer::timeout, this, &DBusMenu::update);
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

std::optional<bool> DBusMenu::aboutToShow(int id) {
    ensureBuilt();
    if (!tree_.node(id))
        return std::nullopt;
    if (id == 0 && delegate_) {
        delegate_->menuOpening();
        // Built afresh for the opening; hosts that open it over and over
        // share one build per spacing.
        if (!lastUpdate_ || Clock::now() - *lastUpdate_ >= spacing.rebuild)
            update();
        else
            menuChanged();
    }
    // Every change reaches hosts as signals too, but libdbusmenu-qt (Plasma,
    // LXQt) fetches a submenu's items only when told to here, and drops the
    // first LayoutUpdated after such a fetch: fetching at every opening keeps
    // what it shows current. It costs no more than the menu's size.
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
