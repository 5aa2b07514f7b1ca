#include "platform/DesktopTray.h"

namespace veldrin {

namespace {

// Qt's status item is an NSStatusItem in the menu bar: always there, always
// shown, and it opens its menu at a click by itself. Nothing is added to it.
class MenuBarTray : public DesktopTray {
public:
    using DesktopTray::DesktopTray;

    bool wantsQtTray() const override { return true; }
    bool clickOpensMenu() const override { return false; }
    void setToolTip(const QString&) override {}
    void setIcon(const std::function<QImage(int size)>&, bool) override {}
    void setMenuDelegate(MenuDelegate*) override {}
    void menuChanged() override {}
    bool hostPresent() const override { return true; }
    std::optional<bool> hostHolds() const override { return true; }
};

} // namespace

DesktopTray* makeDesktopTray(const TrayIconTheme&, QObject* parent) {
    return new MenuBarTray(parent);
}

} // namespace veldrin
