#include "platform/linux/ItemService.h"

#include "platform/linux/BusValues.h"

#include <QTimer>

#include <algorithm>
#include <cstdio>

// The item's registration with the StatusNotifierWatcher, and its confirmation.

namespace veldrin {

void ItemService::watcherAppeared() {
    ++watcherGeneration_;
    registerWithWatcher();
}

void ItemService::registerWithWatcher() {
    readSinceRegistering_ = false;
    confirmed_ = false;
    // A host reads the item and its menu anew for a new registration.
    menuReaders_.clear();
    BusMessage call = methodCall(watcherService, watcherPath, watcherService, "RegisterStatusNotifierItem");
    bus::append(call.get(), serviceName_);
    bus_.call(call, callTimeoutMs, [this, generation = watcherGeneration_](DBusMessage* reply) {
        if (generation != watcherGeneration_)
            return; // a watcher that left; the current one has been asked on its own
        setRegistered(!isError(reply));
        if (!isError(reply)) {
            QTimer::singleShot(confirmAfter, this, [this, generation] { confirm(generation); });
            return;
        }
        if (!complained_) {
            complained_ = true;
            std::fprintf(stderr, "veldrin: the tray's StatusNotifierWatcher refused the icon: %s\n",
                         qPrintable(errorText(reply)));
        }
        // A host whose own start-up failed on the item (GNOME's, now and
        // then) takes it when asked again.
        readWatcher(generation, [](const QVariantMap&) {});
        registerAgainLater(generation, QStringLiteral("the tray refused Veldrin's icon"));
    });
}

void ItemService::readWatcher(quint64 generation, const std::function<void(const QVariantMap&)>& then) {
    BusMessage getAll = methodCall(watcherService, watcherPath, DBUS_INTERFACE_PROPERTIES, "GetAll");
    bus::append(getAll.get(), QString::fromLatin1(watcherService));
    bus_.call(getAll, callTimeoutMs, [this, generation, then](DBusMessage* reply) {
        if (generation != watcherGeneration_)
            return;
        const QVariantMap watcher = isError(reply) ? QVariantMap() : bus::Reader(reply).readVariantMap();
        const QVariant host = watcher.value(QStringLiteral("IsStatusNotifierHostRegistered"));
        hostRegistered_ = host.isValid() ? host.toBool() : true;
        reportState();
        then(watcher);
    });
}

void ItemService::confirm(quint64 generation) {
    if (generation != watcherGeneration_ || confirmed_ || retry_->isActive())
        return;
    readWatcher(generation, [this, generation](const QVariantMap& watcher) {
        if (!*hostRegistered_)
            return; // nothing can show it yet; a host that comes says so
        const QVariant items = watcher.value(QStringLiteral("RegisteredStatusNotifierItems"));
        // A watcher that keeps its list to itself: a host that read the item has it.
        confirmed_ = items.isValid() ? listsThisItem(items.toStringList()) : readSinceRegistering_;
        if (confirmed_) {
            retryAfter_ = confirmAfter;
            dropped_ = false;
        } else
            registerAgainLater(generation, QStringLiteral("the tray has not taken Veldrin's icon"));
        reportState();
    });
}

void ItemService::registerAgainLater(quint64 generation, const QString& why) {
    if (generation != watcherGeneration_ || retry_->isActive())
        return;
    confirmed_ = false;
    if (!saidNotShown_) {
        saidNotShown_ = true;
        std::fprintf(stderr, "veldrin: %s; registering it again, every minute at most\n", qPrintable(why));
    }
    retry_->start(retryAfter_);
    retryAfter_ = std::min(retryAfter_ * 2, longestRetry);
}

bool ItemService::listsThisItem(const QStringList& items) const {
    // Watchers name an item by the name it registered with, or by its
    // connection, alone or followed by its object path.
    const QString unique = bus_.uniqueName();
    for (const QString& item : items) {
        for (const QString& name : {serviceName_, unique}) {
            if (!name.isEmpty() && (item == name || item.startsWith(name + QLatin1Char('/')) ||
                                    item.startsWith(name + QLatin1Char('@'))))
                return true;
        }
    }
    return false;
}

void ItemService::setRegistered(bool registered) {
    registered_ = registered;
    reportState();
}

void ItemService::reportState() {
    const auto known = [](const std::optional<bool>& v) { return v ? int(*v) : -1; };
    // A watcher that took the item and then dropped it does not hold it.
    const std::optional<bool> holds =
        registered_ != true ? registered_ : (dropped_ ? std::optional<bool>(false) : hostRegistered_);
    Q_EMIT stateChanged(known(registered_), known(holds), known(hostRegistered_), confirmed_);
}

} // namespace veldrin
