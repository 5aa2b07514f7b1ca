#pragma once

#include "platform/linux/BusConnection.h"
#include "platform/linux/DBusMenu.h"

struct DBusMessageIter;

namespace veldrin {

// `menu` as com.canonical.dbusmenu at `path` on `bus`: calls answered from
// the menu, its changes sent as the protocol's signals. Arrays in requests
// are read only as far as dbusMenuRequestLimit.
class MenuExport : public QObject {
    Q_OBJECT
public:
    MenuExport(BusConnection& bus, DBusMenu& menu, const QString& path, QObject* parent = nullptr);

Q_SIGNALS:
    // A host (by its bus name) is opening the menu.
    void opened(const QString& host);

private:
    void handle(DBusMessage* call);
    void reply(DBusMessage* call, const std::function<void(DBusMessageIter*)>& fill);

    BusConnection& bus_;
    DBusMenu& menu_;
    QString path_;
};

} // namespace veldrin
