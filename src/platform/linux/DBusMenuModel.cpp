#include "platform/linux/DBusMenuModel.h"

namespace veldrin {

namespace {

// Keys join their parts with NUL, which neither a file path nor a menu text
// holds, so that no represented object can make one entry's key another's.
const QChar keySeparator(0);

QString objectKey(const QVariant& object) {
    if (object.typeId() == QMetaType::QStringList)
        return object.toStringList().join(QChar(0x1F));
    return object.toString();
}

// What an entry is among its siblings: its action and what it acts on; a
// submenu by its title; a separator or an informational line by its place
// among the separators or lines of its menu, which every state shows alike.
QString localKey(const MenuEntry& e, int& separators, int& lines) {
    if (e.separator)
        return QStringLiteral("-") + QString::number(separators++);
    if (e.action != Action::none)
        return QStringLiteral("a") + QString::number(int(e.action)) + keySeparator +
               objectKey(e.representedObject);
    if (e.submenu)
        return QStringLiteral("m") + e.submenu->title;
    return QStringLiteral("i") + QString::number(lines++);
}

QString label(const QString& title) {
    // An underscore is the protocol's mnemonic mark: a literal one is doubled.
    return QString(title).replace(QLatin1Char('_'), QStringLiteral("__"));
}

} // namespace

int DBusMenuIds::idFor(const QString& key) {
    const auto it = byKey_.constFind(key);
    if (it != byKey_.cend())
        return *it;
    byKey_.insert(key, next_);
    return next_++;
}

QVariantMap dbusMenuProperties(const MenuEntry* e) {
    QVariantMap p;
    if (!e) {
        p.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
        return p;
    }
    if (e->separator) {
        p.insert(QStringLiteral("type"), QStringLiteral("separator"));
        return p;
    }
    p.insert(QStringLiteral("label"), label(e->title));
    // libdbusmenu-gtk (xfce4-panel, waybar) makes this the name a screen
    // reader speaks, and follows its changes, as it does not the label's:
    // the label itself, literally. (No host shows a tooltip from the menu;
    // the Qt menu keeps them.)
    p.insert(QStringLiteral("accessible-desc"), e->title);
    // Always sent, so that a change is a new value and never a removal.
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
    return p;
}

std::optional<QSet<QString>> wantedProperties(const QStringList& requested, qsizetype limit) {
    if (requested.isEmpty())
        return std::nullopt;
    QSet<QString> wanted;
    const qsizetype looked = std::min(requested.size(), limit);
    for (qsizetype i = 0; i < looked && wanted.size() < dbusMenuPropertyNames.size(); ++i) {
        if (dbusMenuPropertyNames.contains(requested[i]))
            wanted.insert(requested[i]);
    }
    return wanted;
}

QVariantMap onlyWanted(QVariantMap properties, const std::optional<QSet<QString>>& names) {
    if (!names)
        return properties;
    for (auto it = properties.begin(); it != properties.end();)
        it = names->contains(it.key()) ? std::next(it) : properties.erase(it);
    return properties;
}

DBusMenuTree::DBusMenuTree() {
    nodes_[0].properties = dbusMenuProperties(nullptr);
}

DBusMenuTree::DBusMenuTree(const std::vector<MenuEntry>& entries, DBusMenuIds& ids) : DBusMenuTree() {
    add(0, QString(), entries, ids);
}

void DBusMenuTree::add(int parent, const QString& parentKey, const std::vector<MenuEntry>& entries,
                       DBusMenuIds& ids) {
    int separators = 0;
    int lines = 0;
    QHash<QString, int> seen;
    for (const MenuEntry& e : entries) {
        QString key = localKey(e, separators, lines);
        // Two entries that are alike still get an id each.
        if (const int repeat = seen[key]++)
            key += keySeparator + QString::number(repeat);
        key = parentKey + keySeparator + key;
        const int id = ids.idFor(key);
        if (nodes_.count(id))
            continue; // cannot happen: keys differ within a menu and carry their parent's
        DBusMenuNode& node = nodes_[id];
        node.properties = dbusMenuProperties(&e);
        node.action = e.action;
        node.representedObject = e.representedObject;
        node.enabled = e.enabled;
        nodes_[parent].children << id;
        if (e.submenu)
            add(id, key, e.submenu->entries, ids);
    }
}

const DBusMenuNode* DBusMenuTree::node(int id) const {
    const auto it = nodes_.find(id);
    return it == nodes_.end() ? nullptr : &it->second;
}

DBusMenuLayout DBusMenuTree::layout(int id, int depth, const std::optional<QSet<QString>>& names) const {
    const DBusMenuNode& n = nodes_.at(id);
    DBusMenuLayout out{id, onlyWanted(n.properties, names), {}};
    if (depth == 0)
        return out;
    for (const int child : n.children)
        out.children << layout(child, depth < 0 ? depth : depth - 1, names);
    return out;
}

DBusMenuPropertiesList DBusMenuTree::properties(const QList<int>& ids, const QStringList& names) const {
    const std::optional<QSet<QString>> wanted = wantedProperties(names, dbusMenuRequestLimit);
    QSet<int> answered;
    DBusMenuPropertiesList out;
    for (const int id : ids) {
        if (out.size() == size())
            break; // every item is answered
        const DBusMenuNode* n = node(id);
        if (!n || answered.contains(id))
            continue;
        answered.insert(id);
        out << DBusMenuProperties{id, onlyWanted(n->properties, wanted)};
    }
    return out;
}

void DBusMenuTree::stampLayouts(const DBusMenuTree& before, const QList<int>& relaidOut, uint revision) {
    const QSet<int> changed(relaidOut.begin(), relaidOut.end());
    for (auto& [id, n] : nodes_) {
        const DBusMenuNode* old = before.node(id);
        n.layoutRevision = old && !changed.contains(id) ? old->layoutRevision : revision;
    }
}

DBusMenuChanges::DBusMenuChanges(const DBusMenuTree& before, const DBusMenuTree& after) {
    // Breadth first from the root, so that parents come before their descendants.
    std::vector<int> queue{0};
    for (std::size_t i = 0; i < queue.size(); ++i) {
        const int id = queue[i];
        const DBusMenuNode& now = after.nodes_.at(id);
        queue.insert(queue.end(), now.children.begin(), now.children.end());
        const auto it = before.nodes_.find(id);
        if (it == before.nodes_.end())
            continue; // new: hosts read it with the layout
        const DBusMenuNode& was = it->second;
        QVariantMap changed;
        for (auto p = now.properties.cbegin(); p != now.properties.cend(); ++p) {
            const auto old = was.properties.constFind(p.key());
            if (old == was.properties.cend() || *old != *p)
                changed.insert(p.key(), *p);
        }
        QStringList gone;
        for (auto p = was.properties.cbegin(); p != was.properties.cend(); ++p) {
            if (!now.properties.contains(p.key()))
                gone << p.key();
        }
        if (!changed.isEmpty())
            updated << DBusMenuProperties{id, changed};
        if (!gone.isEmpty())
            removed << DBusMenuRemoved{id, gone};
        if (was.children != now.children)
            relaidOut << id;
    }
}

} // namespace veldrin
