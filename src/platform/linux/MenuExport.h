#pragma once

#include "platform/linux/BusConnection.h"
#include "platform/linux/MenuReaders.h"
#include "platform/linux/TrayState.h"

#include <atomic>
#include <memory>

struct DBusMessageIter;

namespace veldrin {

// The menu as com.canonical.dbusmenu at `path` on `bus`, in the tray's bus
// thread: calls are answered from the menu `state` last published, arrays in
// requests read only as far as dbusMenuRequestLimit. What needs the main
// thread (an opening, a click) is passed on as a signal, one at a time: a
// second that comes while one waits is dropped, so that no flood of them
// piles up there.
class MenuExport : public QObject {
    Q_OBJECT
public:
    MenuExport(BusConnection& bus, const TrayState& state, const QString& path, QObject* parent = nullptr);

public Q_SLOTS:
    // The main thread's changes, sent as the protocol's signals.
    void sendLayoutUpdated(uint revision, int parent);
    void sendItemsPropertiesUpdated(const veldrin::DBusMenuPropertiesList& updated,
                                    const veldrin::DBusMenuRemovedList& removed);

Q_SIGNALS:
    // A host (by its bus name) is opening the menu: in this thread at once,
    // and for the main thread once a waiting one has been taken.
    void opened(const QString& host);
    // A host (by its bus name) has read the menu's layout, in this thread.
    void layoutRead(const QString& host);
    void openingForMainThread();
    // A click on an item the menu has, for the main thread.
    void clicked(int id);

public:
    // The main thread has taken the opening or the click passed on.
    void openingTaken() { openingPending_->store(false); }
    void clickTaken() { clickPending_->store(false); }

private:
    void handle(DBusMessage* call);
    void reply(DBusMessage* call, const std::function<void(DBusMessageIter*)>& fill);
    void opening(DBusMessage* call);
    static QString senderOf(DBusMessage* call);
    void event(int id, const QString& eventId);

    BusConnection& bus_;
    const TrayState& state_;
    QByteArray path_;
    MenuReaders readers_;
    std::shared_ptr<std::atomic<bool>> openingPending_ = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<bool>> clickPending_ = std::make_shared<std::atomic<bool>>(false);
};

} // namespace veldrin
