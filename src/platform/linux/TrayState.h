#pragma once

// What the tray's bus thread answers hosts from, published by the main
// thread: the exported menu as last built, the icon and the tooltip. Reads
// take a copy under the lock; nothing here waits on anything else.

#include "platform/linux/DBusMenuModel.h"
#include "platform/linux/TrayTypes.h"

#include <memory>
#include <mutex>

namespace veldrin {

class TrayState {
public:
    struct Menu {
        std::shared_ptr<const DBusMenuTree> tree = std::make_shared<DBusMenuTree>();
        uint revision = 1;
    };
    struct Icon {
        TrayPixmaps pixmaps;
        QString name;      // a themed icon a host may recolour; empty for none
        QString themePath; // where that icon is, fixed for the life of the item
        TrayToolTip toolTip;
    };

    Menu menu() const {
        std::lock_guard lock(mutex_);
        return menu_;
    }
    void setMenu(Menu menu) {
        std::lock_guard lock(mutex_);
        menu_ = std::move(menu);
    }
    Icon icon() const {
        std::lock_guard lock(mutex_);
        return icon_;
    }
    template <class Change> void changeIcon(Change change) {
        std::lock_guard lock(mutex_);
        change(icon_);
    }

private:
    mutable std::mutex mutex_;
    Menu menu_;
    Icon icon_;
};

} // namespace veldrin
