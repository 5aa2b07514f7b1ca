#pragma once

#include "menu/StatusItem.h"
#include "platform/linux/DBusMenuModel.h"
#include "platform/linux/TrayState.h"
#include "platform/linux/TrayTypes.h"

#include <QObject>

#include <chrono>
#include <optional>

class QTimer;

namespace veldrin {

// The status menu as com.canonical.dbusmenu sees it (MenuExport puts it on
// the bus), for tray hosts that draw the menu themselves from a copy they keep. The exported menu follows the
// delegate's fields: whenever they may have changed it is built again, and
// hosts are told exactly what changed (ItemsPropertiesUpdated for
// properties, LayoutUpdated for items that came or went). No request waits
// for anything: an opening (AboutToShow on the root) starts the delegate's
// checks and is answered at once, and what they find follows as changes.
// Every request costs at most what the menu's size allows, whatever the
// request holds, and a person's clicks are told from a flood.
class DBusMenu : public QObject {
    Q_OBJECT
public:
    explicit DBusMenu(QObject* parent = nullptr);

    void setMenuDelegate(MenuDelegate* delegate) { delegate_ = delegate; }
    // Where each build is published, before hosts are told of its changes.
    void publishTo(TrayState* state) { state_ = state; }
    // The delegate's fields may have changed: the menu is built again on the
    // next turn of the event loop, once however often this was called.
    void menuChanged();

    uint revision() const { return revision_; }
    // Empty for an item the menu does not have.
    std::optional<DBusMenuLayout> layout(int parentId, int depth, const QStringList& names);
    // Each item the menu has once, however often the host names it.
    DBusMenuPropertiesList properties(const QList<int>& ids, const QStringList& names);
    // False for an item the menu does not have. A click performs the item's
    // action once the host's call has been answered, if the item is enabled
    // and no click was taken within spacing.click.
    bool handleEvent(int id, const QString& eventId);
    // Builds the menu from the delegate's fields now and tells hosts what changed.
    void update();
    // A host is opening the menu: the delegate's checks start, and the menu
    // is built afresh (once a spacing, however often hosts open it).
    void opening();

    struct Spacing {
        // The menu is built again at most this often, however often hosts
        // open it or its fields change.
        std::chrono::milliseconds rebuild{100};
        // A click within this of the last one taken is a repeat (a person's
        // clicks are further apart) and is dropped.
        std::chrono::milliseconds click{250};
    };
    Spacing spacing;

Q_SIGNALS:
    void layoutUpdated(uint revision, int parent);
    void itemsPropertiesUpdated(const veldrin::DBusMenuPropertiesList& updated,
                                const veldrin::DBusMenuRemovedList& removed);

private:
    void ensureBuilt();

    using Clock = std::chrono::steady_clock;
    MenuDelegate* delegate_ = nullptr;
    DBusMenuIds ids_;
    std::shared_ptr<const DBusMenuTree> tree_ = std::make_shared<DBusMenuTree>();
    TrayState* state_ = nullptr;
    bool built_ = false;
    uint revision_ = 1;
    QTimer* pendingUpdate_;
    std::optional<Clock::time_point> lastUpdate_;
    std::optional<Clock::time_point> lastClick_;
};

} // namespace veldrin
