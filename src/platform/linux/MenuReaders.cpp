#include "platform/linux/MenuReaders.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace veldrin {

MenuReaders::Reader& MenuReaders::reader(const QString& host) {
    const auto it =
        std::find_if(readers_.begin(), readers_.end(), [&](const Reader& r) { return r.host == host; });
    if (it != readers_.end()) {
        if (it != readers_.begin())
            std::rotate(readers_.begin(), it, std::next(it));
    } else {
        readers_.push_front({host, {}});
        if (readers_.size() > maxHosts)
            readers_.pop_back();
    }
    return readers_.front();
}

void MenuReaders::read(const QString& host, const DBusMenuTree& tree, int parent, int depth) {
    Reader& r = reader(host);
    // The items whose children the reading held: those above the depth asked for.
    std::vector<std::pair<int, int>> pending{{parent, 0}};
    while (!pending.empty()) {
        const auto [id, level] = pending.back();
        pending.pop_back();
        const DBusMenuNode* node = tree.node(id);
        if (!node || (depth >= 0 && level >= depth))
            continue;
        r.layouts[id] = node->layoutRevision;
        for (const int child : node->children)
            pending.emplace_back(child, level + 1);
    }
}

bool MenuReaders::needsUpdate(const QString& host, const DBusMenuTree& tree, int id) {
    const DBusMenuNode* node = tree.node(id);
    const Reader& r = reader(host);
    const auto seen = r.layouts.find(id);
    return !node || seen == r.layouts.end() || seen->second != node->layoutRevision;
}

} // namespace veldrin
