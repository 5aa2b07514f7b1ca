#include "support/CachingHost.h"

#include <QDBusMetaType>

namespace veldrin::test {

namespace {

using Lookup = std::function<const QVariantMap&(int id)>;
using Children = std::function<QList<int>(int id)>;

void print(int id, int depth, const Lookup& properties, const Children& children, QString& out) {
    for (const int child : children(id)) {
        const QVariantMap& p = properties(child);
        out += QString(depth * 2, ' ');
        if (p.value("type") == "separator") {
            out += "---\n";
            continue;
        }
        out += p.value("label").toString().replace("__", "_");
        if (!p.value("enabled", true).toBool())
            out += " [disabled]";
        if (p.value("toggle-type") == "checkmark")
            out += p.value("toggle-state").toInt() ? " [on]" : " [off]";
        if (p.contains("shortcut")) {
            const QVariant v = p.value("shortcut");
            const auto keys = v.canConvert<QDBusArgument>()
                                  ? qdbus_cast<QList<QStringList>>(v.value<QDBusArgument>())
                                  : v.value<QList<QStringList>>();
            out += " [key " + keys.value(0).value(1) + "]";
        }
        out += '\n';
        print(child, depth + 1, properties, children, out);
    }
}

void index(const DBusMenuLayout& node, std::map<int, const DBusMenuLayout*>& nodes) {
    nodes[node.id] = &node;
    for (const DBusMenuLayout& child : node.children)
        index(child, nodes);
}

} // namespace

CachingHost::CachingHost(ReadLayout readLayout, ReadProperties readProperties)
    : readLayout_(std::move(readLayout)), readProperties_(std::move(readProperties)) {
    layoutUpdated();
}

void CachingHost::take(const DBusMenuLayout& node, QList<int>& fresh) {
    QList<int> ids;
    for (const DBusMenuLayout& child : node.children)
        ids << child.id;
    children_[node.id] = ids;
    if (!properties_.count(node.id))
        fresh << node.id;
    QVariantMap& known = properties_[node.id];
    for (auto p = node.properties.cbegin(); p != node.properties.cend(); ++p)
        known[p.key()] = *p;
    for (const DBusMenuLayout& child : node.children)
        take(child, fresh);
}

void CachingHost::layoutUpdated() {
    const DBusMenuLayout root = readLayout_();
    QList<int> fresh;
    take(root, fresh);
    // Ids no longer in the layout are forgotten.
    std::map<int, const DBusMenuLayout*> nodes;
    index(root, nodes);
    for (auto it = properties_.begin(); it != properties_.end();)
        it = nodes.count(it->first) ? std::next(it) : properties_.erase(it);
    for (auto it = children_.begin(); it != children_.end();)
        it = nodes.count(it->first) ? std::next(it) : children_.erase(it);
    if (fresh.isEmpty())
        return;
    for (const DBusMenuProperties& item : readProperties_(fresh)) {
        if (properties_.count(item.id))
            properties_[item.id].insert(item.properties);
    }
}

void CachingHost::propertiesUpdated(const DBusMenuPropertiesList& updated,
                                    const DBusMenuRemovedList& removed) {
    for (const DBusMenuProperties& item : updated) {
        if (properties_.count(item.id))
            properties_[item.id].insert(item.properties);
    }
    for (const DBusMenuRemoved& item : removed) {
        if (properties_.count(item.id)) {
            for (const QString& name : item.names)
                properties_[item.id].remove(name);
        }
    }
}

QString CachingHost::text() const {
    QString out;
    print(
        0, 0, [this](int id) -> const QVariantMap& { return properties_.at(id); },
        [this](int id) { return children_.count(id) ? children_.at(id) : QList<int>(); }, out);
    return out;
}

int CachingHost::idOf(const QString& title) const {
    for (const auto& [id, p] : properties_) {
        if (p.value("label").toString().replace("__", "_") == title)
            return id;
    }
    return -1;
}

QString layoutText(const DBusMenuLayout& root) {
    std::map<int, const DBusMenuLayout*> nodes;
    index(root, nodes);
    QString out;
    print(
        root.id, 0, [&](int id) -> const QVariantMap& { return nodes.at(id)->properties; },
        [&](int id) {
            QList<int> ids;
            for (const DBusMenuLayout& child : nodes.at(id)->children)
                ids << child.id;
            return ids;
        },
        out);
    return out;
}

} // namespace veldrin::test
