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
    auto next = std::make_shared<DBusMenuTree>(fill.entries, ids_);
    lastUpdate_ = Clock::now();
    const DBusMenuChanges changes(*tree_, *next);
    const bool first = !built_;
    built_ = true;
    if (first || !changes.relaidOut.isEmpty())
        ++revision_;
    next->stampLayouts(*tree_, changes.relaidOut, revision_);
    tree_ = std::move(next);
    // Published first: a host told of a change reads the menu that has it.
    if (state_)
        state_->setMenu({tree_, revision_});
    if (first) {
        // Only a host that read the empty menu before this has anything to fetch.
        Q_EMIT layoutUpdated(revision_, 0);
        return;
    }
    if (!changes.updated.isEmpty() || !changes.removed.isEmpty())
        Q_EMIT itemsPropertiesUpdated(changes.updated, changes.removed);
    for (const int parent : changes.relaidOut)
        Q_EMIT layoutUpdated(revision_, parent);
}

void DBusMenu::ensureBuilt() {
    // A host that reads before it ever announces an opening still gets the menu.
    if (!built_)
        update();
}

std::optional<DBusMenuLayout> DBusMenu::layout(int parentId, int depth, const QStringList& names) {
    ensureBuilt();
    if (!tree_->node(parentId))
        return std::nullopt;
    return tree_->layout(parentId, depth, wantedProperties(names, dbusMenuRequestLimit));
}

DBusMenuPropertiesList DBusMenu::properties(const QList<int>& ids, const QStringList& names) {
    ensureBuilt();
    return tree_->properties(ids, names);
}

void DBusMenu::opening() {
    if (!delegate_)
        return;
    delegate_->menuOpening();
    // Built afresh for the opening; hosts that open it over and over share
    // one build per spacing.
    if (!lastUpdate_ || Clock::now() - *lastUpdate_ >= spacing.rebuild)
        update();
    else
        menuChanged();
}

bool DBusMenu::handleEvent(int id, const QString& eventId) {
    ensureBuilt();
    const DBusMenuNode* node = tree_->node(id);
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
