#pragma once

#include "platform/linux/DBusMenuModel.h"

#include <QString>

#include <deque>
#include <unordered_map>

namespace veldrin {

// Which submenus each host has read, and as they were then, so that the
// answer to AboutToShow can be true exactly when the host's copy of that
// submenu is out of date. Both ways of being wrong show: GNOME's host reads
// the whole menu again on a true answer and closes the submenu being opened;
// libdbusmenu-qt (Plasma, LXQt) reads a submenu again only on a true answer,
// and ignores the first LayoutUpdated after such a reading.
class MenuReaders {
public:
    // Beyond this many hosts the one heard from least recently is forgotten,
    // and so told to read again.
    static constexpr std::size_t maxHosts = 16;

    // `host` read the layout under `parent` to `depth` levels (below 0: all).
    void read(const QString& host, const DBusMenuTree& tree, int parent, int depth);
    // Whether `host` should read the children of `id` again.
    bool needsUpdate(const QString& host, const DBusMenuTree& tree, int id);

private:
    struct Reader {
        QString host;
        std::unordered_map<int, uint> layouts; // item id → its layoutRevision as read
    };
    Reader& reader(const QString& host);

    std::deque<Reader> readers_; // the most recent first
};

} // namespace veldrin
