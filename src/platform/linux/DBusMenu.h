#pragma once

#include "menu/StatusItem.h"
#include "platform/linux/TrayTypes.h"

#include <QDBusContext>
#include <QObject>
#include <QSet>

#include <optional>
#include <vector>

namespace veldrin {

// The status menu as com.canonical.dbusmenu, for tray hosts that draw the
// menu themselves. The host's AboutToShow on the root is an opening: the
// delegate fills the menu afresh, the layout's revision goes up and
// LayoutUpdated tells the host to fetch it. Titles reach the host literally
// (an underscore, the protocol's mnemonic mark, is doubled). A "clicked"
// event performs the entry's action once the host's call has been answered.
class DBusMenu : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    explicit DBusMenu(QObject* parent = nullptr);

    void setMenuDelegate(MenuDelegate* delegate) { delegate_ = delegate; }
    // The object to export, adaptor included, under the menu's path.
    QObject* exported() { return this; }

    uint revision() const { return revision_; }
    // Empty for an item the menu does not have.
    std::optional<DBusMenuLayout> layout(int parentId, int depth, const QStringList& names);
    // Each item the menu has once, however often the host names it.
    DBusMenuPropertiesList properties(const QList<int>& ids, const QStringList& names);
    // Whether the host should fetch the layout again.
    bool aboutToShow(int id);
    // The ids whose layout the host should fetch again; the menu opens once
    // however often the root is named. Ids the menu does not have go to `unknown`.
    QList<int> aboutToShow(const QList<int>& ids, QList<int>& unknown);
    // False for an item the menu does not have.
    bool handleEvent(int id, const QString& eventId);
    // Answers the host's call being served with InvalidArgs (QtDBus keeps an
    // adaptor's call with the object it adapts).
    void refuseCall(const QString& why) { sendErrorReply(QDBusError::InvalidArgs, why); }

Q_SIGNALS:
    void layoutUpdated(uint revision, int parent);

private:
    void open();
    void number(const std::vector<MenuEntry>& entries);
    const MenuEntry* entry(int id) const;
    bool has(int id) const { return id == 0 || entry(id); }
    DBusMenuLayout layoutOf(int id, const std::vector<MenuEntry>* children, int depth,
                            const QSet<QString>& names) const;

    MenuDelegate* delegate_ = nullptr;
    std::vector<MenuEntry> entries_;
    // Entry of each id, depth first from 1; 0 is the root.
    std::vector<const MenuEntry*> byId_{nullptr};
    uint revision_ = 0;
    bool opened_ = false;
};

} // namespace veldrin
