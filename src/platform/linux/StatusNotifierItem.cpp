#include "platform/linux/StatusNotifierItem.h"

#include "platform/linux/DBusMenu.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QTimer>

#include <algorithm>

#include <cstdio>
#include <unistd.h>

namespace veldrin {

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString itemPath = QStringLiteral("/StatusNotifierItem");
const QString menuPath = QStringLiteral("/MenuBar");

class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ empty)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QString IconName READ empty)
    Q_PROPERTY(QList<veldrin::TrayPixmap> IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ empty)
    Q_PROPERTY(QList<veldrin::TrayPixmap> OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ empty)
    Q_PROPERTY(QList<veldrin::TrayPixmap> AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ empty)
    Q_PROPERTY(veldrin::TrayToolTip ToolTip READ toolTip)
public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem* item) : QDBusAbstractAdaptor(item), item_(item) {
        connect(item, &StatusNotifierItem::iconChanged, this, &StatusNotifierItemAdaptor::NewIcon);
        connect(item, &StatusNotifierItem::toolTipChanged, this, &StatusNotifierItemAdaptor::NewToolTip);
    }
    // Every host reads the item's identity when it takes the item.
    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const {
        item_->readByHost();
        return QStringLiteral("veldrin");
    }
    QString title() const { return QStringLiteral("Veldrin"); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString empty() const { return {}; }
    QDBusObjectPath menu() const {
        item_->readByHost();
        return QDBusObjectPath(menuPath);
    }
    bool itemIsMenu() const { return true; }
    QList<veldrin::TrayPixmap> iconPixmap() const { return item_->icon(); }
    QList<veldrin::TrayPixmap> noPixmaps() const { return {}; }
    veldrin::TrayToolTip toolTip() const { return item_->toolTip(); }

public Q_SLOTS:
    void ContextMenu(int x, int y) { item_->requestPopup(QPoint(x, y)); }
    // The item is its menu: a host that activates it all the same (Plasma
    // does, on a left click) opens the menu when told the item cannot be.
    void Activate(int, int) {
        item_->refuseCall(QStringLiteral("org.freedesktop.DBus.Error.NotSupported"),
                          QStringLiteral("Veldrin's item is a menu; open its menu instead"));
    }
    void SecondaryActivate(int, int) {}
    void Scroll(int, const QString&) {}
    void ProvideXdgActivationToken(const QString&) {}

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);
    void NewMenu();

private:
    StatusNotifierItem* item_;
};

} // namespace

StatusNotifierItem::StatusNotifierItem(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus), menu_(new DBusMenu(this)),
      watcher_(new QDBusServiceWatcher(watcherService, bus, QDBusServiceWatcher::WatchForOwnerChange, this)),
      retry_(new QTimer(this)) {
    registerTrayTypes();
    new StatusNotifierItemAdaptor(this);
    static int count = 0;
    serviceName_ = QStringLiteral("org.kde.StatusNotifierItem-%1-%2").arg(::getpid()).arg(++count);
    bus_.registerObject(itemPath, this, QDBusConnection::ExportAdaptors);
    bus_.registerObject(menuPath, menu_, QDBusConnection::ExportAdaptors);
    bus_.registerService(serviceName_);
    retry_->setSingleShot(true);
    connect(retry_, &QTimer::timeout, this, &StatusNotifierItem::registerWithWatcher);
    // A host that drops the item again says so; the item then registers anew.
    bus_.connect(watcherService, watcherPath, watcherService,
                 QStringLiteral("StatusNotifierItemUnregistered"), this, SLOT(itemUnregistered(QString)));
    bus_.connect(watcherService, watcherPath, watcherService, QStringLiteral("StatusNotifierHostRegistered"),
                 this, SLOT(hostRegistered()));

    // A watcher that comes, goes or is replaced: a panel starting late or
    // restarting. The item registers with each new one.
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) {
                ++watcherGeneration_;
                retry_->stop();
                hostRegistered_.reset();
                retryAfter_ = confirmAfter;
                if (owner.isEmpty())
                    setRegistered(false);
                else
                    registerWithWatcher();
            });
    QDBusMessage hasOwner = QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                           "org.freedesktop.DBus", "NameHasOwner");
    hasOwner << watcherService;
    auto* answer = new QDBusPendingCallWatcher(bus_.asyncCall(hasOwner), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<bool> reply = *call;
        if (reply.isValid() && reply.value())
            registerWithWatcher();
        else if (!registered_)
            setRegistered(false);
    });
}

StatusNotifierItem::~StatusNotifierItem() {
    bus_.unregisterService(serviceName_);
    bus_.unregisterObject(menuPath);
    bus_.unregisterObject(itemPath);
}

void StatusNotifierItem::setMenuDelegate(MenuDelegate* delegate) {
    menu_->setMenuDelegate(delegate);
}

void StatusNotifierItem::menuChanged() {
    menu_->menuChanged();
}

void StatusNotifierItem::setIcon(const TrayPixmaps& icon) {
    icon_ = icon;
    Q_EMIT iconChanged();
}

void StatusNotifierItem::setToolTip(const QString& text) {
    if (text == toolTip_)
        return;
    toolTip_ = text;
    Q_EMIT toolTipChanged();
}

TrayToolTip StatusNotifierItem::toolTip() const {
    const qsizetype lineBreak = toolTip_.indexOf(QLatin1Char('\n'));
    TrayToolTip tip;
    tip.title = toolTip_.left(lineBreak);
    if (lineBreak >= 0)
        tip.description = toolTip_.mid(lineBreak + 1).toHtmlEscaped().replace(QLatin1Char('\n'), "<br/>");
    return tip;
}

void StatusNotifierItem::registerWithWatcher() {
    readSinceRegistering_ = false;
    confirmed_ = false;
    QDBusMessage call = QDBusMessage::createMethodCall(watcherService, watcherPath, watcherService,
                                                       "RegisterStatusNotifierItem");
    call << serviceName_;
    auto* answer = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this,
            [this, generation = watcherGeneration_](QDBusPendingCallWatcher* pending) {
                pending->deleteLater();
                if (generation != watcherGeneration_)
                    return; // a watcher that left; the current one has been asked on its own
                const QDBusPendingReply<> reply = *pending;
                if (reply.isError() && !complained_) {
                    complained_ = true;
                    std::fprintf(stderr, "veldrin: the tray's StatusNotifierWatcher refused the icon: %s\n",
                                 qPrintable(reply.error().message()));
                }
                setRegistered(!reply.isError());
                if (!reply.isError())
                    QTimer::singleShot(confirmAfter, this, [this, generation] { confirm(generation); });
            });
}

void StatusNotifierItem::confirm(quint64 generation) {
    if (generation != watcherGeneration_ || confirmed_ || retry_->isActive())
        return;
    QDBusMessage getAll = QDBusMessage::createMethodCall(watcherService, watcherPath,
                                                         "org.freedesktop.DBus.Properties", "GetAll");
    getAll << watcherService;
    auto* answer = new QDBusPendingCallWatcher(bus_.asyncCall(getAll), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this,
            [this, generation](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                if (generation != watcherGeneration_)
                    return;
                const QDBusPendingReply<QVariantMap> reply = *call;
                const QVariantMap watcher = reply.isValid() ? reply.value() : QVariantMap();
                const QVariant host = watcher.value(QStringLiteral("IsStatusNotifierHostRegistered"));
                hostRegistered_ = host.isValid() ? host.toBool() : true;
                if (!*hostRegistered_)
                    return; // nothing can show it yet; a host that comes says so
                const QVariant items = watcher.value(QStringLiteral("RegisteredStatusNotifierItems"));
                // A watcher that keeps its list to itself: a host that read the item has it.
                confirmed_ = items.isValid() ? listsThisItem(items.toStringList()) : readSinceRegistering_;
                if (confirmed_)
                    retryAfter_ = confirmAfter;
                else
                    registerAgainLater(generation, QStringLiteral("the tray has not taken Veldrin's icon"));
            });
}

void StatusNotifierItem::hostRegistered() {
    hostRegistered_ = true;
    if (registered_ == true && !confirmed_ && !retry_->isActive())
        registerWithWatcher();
}

std::optional<bool> StatusNotifierItem::hostHolds() const {
    if (registered_ != true)
        return registered_;
    return hostRegistered_;
}

void StatusNotifierItem::itemUnregistered(const QString& item) {
    if (listsThisItem({item}))
        registerAgainLater(watcherGeneration_, QStringLiteral("the tray dropped Veldrin's icon"));
}

void StatusNotifierItem::registerAgainLater(quint64 generation, const QString& why) {
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

bool StatusNotifierItem::listsThisItem(const QStringList& items) const {
    // Watchers name an item by the name it registered with, or by its
    // connection, alone or followed by its object path.
    const QString unique = bus_.baseService();
    for (const QString& item : items) {
        for (const QString& name : {serviceName_, unique}) {
            if (!name.isEmpty() && (item == name || item.startsWith(name + QLatin1Char('/')) ||
                                    item.startsWith(name + QLatin1Char('@'))))
                return true;
        }
    }
    return false;
}

void StatusNotifierItem::setRegistered(bool registered) {
    if (registered_ == registered)
        return;
    registered_ = registered;
    Q_EMIT registeredChanged(registered);
}

} // namespace veldrin

#include "StatusNotifierItem.moc"
