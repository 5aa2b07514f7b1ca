#pragma once

// The status menu as com.canonical.dbusmenu sees it: items with ids,
// properties and children. Hosts cache what they have read by id and learn of
// changes only from signals, so an id names one entry for the life of the
// process: it is derived from what the entry is (its action and what that
// acts on, or its place among the lines of its submenu), never from its
// position, and never given to another entry.

#include "menu/MenuEntry.h"
#include "platform/linux/TrayTypes.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QVariantMap>

#include <optional>
#include <unordered_map>
#include <vector>

namespace veldrin {

// The properties Veldrin exports, and so the only names a request can ask for.
inline const QStringList dbusMenuPropertyNames{QStringLiteral("type"),
                                               QStringLiteral("label"),
                                               QStringLiteral("enabled"),
                                               QStringLiteral("toggle-type"),
                                               QStringLiteral("toggle-state"),
                                               QStringLiteral("shortcut"),
                                               QStringLiteral("children-display"),
                                               QStringLiteral("accessible-desc")};

// One exported item; id 0 is the root.
struct DBusMenuNode {
    QVariantMap properties;
    QList<int> children;
    Action action = Action::none;
    QVariant representedObject;
    bool enabled = false;
    // The menu's revision when `children` last changed.
    uint layoutRevision = 0;
};

// Ids by what entries are; an id once given is never given to anything else.
class DBusMenuIds {
public:
    int idFor(const QString& key);
    qsizetype size() const { return byKey_.size(); }

private:
    QHash<QString, int> byKey_;
    int next_ = 1;
};

class DBusMenuTree {
public:
    DBusMenuTree();
    DBusMenuTree(const std::vector<MenuEntry>& entries, DBusMenuIds& ids);

    const DBusMenuNode* node(int id) const;
    qsizetype size() const { return qsizetype(nodes_.size()); }
    // `names` none: every property. Depth below 0: the whole subtree.
    DBusMenuLayout layout(int id, int depth, const std::optional<QSet<QString>>& names) const;
    // The properties of each item named that the tree has, once however
    // often it is named; `names` as a host gives them (empty for all).
    DBusMenuPropertiesList properties(const QList<int>& ids, const QStringList& names) const;
    // Stamps each item whose children are new or changed since `before`
    // (those in `relaidOut`, and every item `before` lacks) with `revision`;
    // the others keep their stamps from `before`.
    void stampLayouts(const DBusMenuTree& before, const QList<int>& relaidOut, uint revision);

private:
    void add(int parent, const QString& parentKey, const std::vector<MenuEntry>& entries, DBusMenuIds& ids);

    std::unordered_map<int, DBusMenuNode> nodes_;
    friend struct DBusMenuChanges;
};

// What hosts must be told to turn `before` into `after`.
struct DBusMenuChanges {
    DBusMenuChanges(const DBusMenuTree& before, const DBusMenuTree& after);
    bool empty() const { return updated.isEmpty() && removed.isEmpty() && relaidOut.isEmpty(); }

    // Items in both whose properties changed: the new values, and the names
    // that are gone.
    DBusMenuPropertiesList updated;
    DBusMenuRemovedList removed;
    // Items in both whose children changed, parents before their descendants.
    QList<int> relaidOut;
};

// The properties of `entry` as the protocol has them; the root's for none.
QVariantMap dbusMenuProperties(const MenuEntry* entry);

// Of `requested`, the names Veldrin exports, each once; none when `requested`
// is empty, which asks for every property. At most `limit` names are looked at.
std::optional<QSet<QString>> wantedProperties(const QStringList& requested, qsizetype limit);
QVariantMap onlyWanted(QVariantMap properties, const std::optional<QSet<QString>>& names);

} // namespace veldrin
