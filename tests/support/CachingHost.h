#pragma once

// A tray host that keeps its own copy of the exported menu, as GNOME Shell's
// AppIndicator extension does: it reads the layout with only "type" and
// "children-display", fetches the properties of the ids that are new to it
// (and of no other), drops the ids that have gone, and otherwise learns of
// changes only from ItemsPropertiesUpdated and LayoutUpdated. Its copy,
// printed as --print-menu prints a menu, must equal a fresh reading.

#include "platform/linux/TrayTypes.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QMap>
#include <QObject>
#include <QString>

#include <functional>
#include <map>

namespace veldrin::test {

class CachingHost {
public:
    // GetLayout(0, -1, {"type", "children-display"}) and GetGroupProperties(ids, {}).
    using ReadLayout = std::function<DBusMenuLayout()>;
    using ReadProperties = std::function<DBusMenuPropertiesList(const QList<int>& ids)>;
    CachingHost(ReadLayout readLayout, ReadProperties readProperties);

    // LayoutUpdated, whatever its parent: the host reads the whole layout again.
    void layoutUpdated();
    void propertiesUpdated(const DBusMenuPropertiesList& updated, const DBusMenuRemovedList& removed);

    // The copy as --print-menu prints a menu.
    QString text() const;
    // The id the copy shows `title` under, or -1.
    int idOf(const QString& title) const;

private:
    void take(const DBusMenuLayout& node, QList<int>& fresh);

    ReadLayout readLayout_;
    ReadProperties readProperties_;
    std::map<int, QVariantMap> properties_;
    std::map<int, QList<int>> children_;
};

// The signals a panel listens to, passed on to its copy of the menu.
class MenuSignals : public QObject {
    Q_OBJECT
public:
    CachingHost* host = nullptr;
    int layouts = 0;
    int icons = 0;
public Q_SLOTS:
    void NewIcon() { ++icons; }
    void LayoutUpdated(uint, int) {
        ++layouts;
        host->layoutUpdated();
    }
    void ItemsPropertiesUpdated(const QDBusMessage& message) {
        const auto updated =
            qdbus_cast<DBusMenuPropertiesList>(message.arguments().value(0).value<QDBusArgument>());
        const auto removed =
            qdbus_cast<DBusMenuRemovedList>(message.arguments().value(1).value<QDBusArgument>());
        host->propertiesUpdated(updated, removed);
    }
};

// A layout read with every property, printed as --print-menu prints a menu.
QString layoutText(const DBusMenuLayout& root);

} // namespace veldrin::test
