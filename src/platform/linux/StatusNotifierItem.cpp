#include "platform/linux/StatusNotifierItem.h"

#include "platform/linux/BusConnection.h"
#include "platform/linux/DBusMenu.h"
#include "platform/linux/MenuExport.h"

#include <QTimer>

#include <unistd.h>

namespace veldrin {

namespace {

// What a host reads as the tooltip: the first line the title, the rest the
// description. Lines are broken with line feeds: xfce4-panel and waybar show
// an empty box for <br/>. They read the description as markup, so &, < and
// > are escaped; Plasma reads it so only when it holds a tag, hence the span
// around a description that needed escaping.
TrayToolTip toolTipOf(const QString& text) {
    const qsizetype lineBreak = text.indexOf(QLatin1Char('\n'));
    TrayToolTip tip;
    tip.title = text.left(lineBreak);
    if (lineBreak < 0)
        return tip;
    const QString description = text.mid(lineBreak + 1);
    const QString escaped = description.toHtmlEscaped();
    tip.description =
        escaped == description ? description : QStringLiteral("<span>") + escaped + QStringLiteral("</span>");
    return tip;
}

} // namespace

StatusNotifierItem::StatusNotifierItem(const QByteArray& busAddress, const QString& iconThemePath,
                                       QObject* parent)
    : QObject(parent), menu_(new DBusMenu(this)) {
    menu_->publishTo(&state_);
    state_.changeIcon([&](TrayState::Icon& i) { i.themePath = iconThemePath; });
    static int count = 0;
    serviceName_ = QStringLiteral("org.kde.StatusNotifierItem-%1-%2").arg(::getpid()).arg(++count);
    if (busAddress.isEmpty()) {
        registered_ = hostHolds_ = false;
        return;
    }
    thread_.setObjectName(QStringLiteral("tray bus"));
    thread_.start();
    anchor_ = new QObject;
    anchor_->moveToThread(&thread_);
    inBusThread([&] {
        QString error;
        bus_ = BusConnection::open(busAddress, &error).release();
        if (!bus_)
            return;
        export_ = new MenuExport(*bus_, state_, QStringLiteral("/MenuBar"));
        service_ = new ItemService(*bus_, state_, serviceName_);
        connect(export_, &MenuExport::opened, service_, &ItemService::hostOpened);
        connect(export_, &MenuExport::layoutRead, service_, &ItemService::hostReadMenu);
    });
    if (!bus_) {
        registered_ = hostHolds_ = false;
        return;
    }
    // The main thread's side: the menu's changes go out, openings and
    // clicks come in, and what the watcher says is kept here.
    connect(menu_, &DBusMenu::layoutUpdated, export_, &MenuExport::sendLayoutUpdated);
    connect(menu_, &DBusMenu::itemsPropertiesUpdated, export_, &MenuExport::sendItemsPropertiesUpdated);
    connect(export_, &MenuExport::openingForMainThread, this, [this] {
        export_->openingTaken();
        menu_->opening();
    });
    connect(export_, &MenuExport::clicked, this, [this](int id) {
        export_->clickTaken();
        menu_->handleEvent(id, QStringLiteral("clicked"));
    });
    connect(service_, &ItemService::popupRequested, this, &StatusNotifierItem::popupRequested);
    connect(service_, &ItemService::menuUnreachable, this, &StatusNotifierItem::menuUnreachable);
    connect(service_, &ItemService::stateChanged, this,
            [this](int registered, int holds, int hostPresent, bool confirmed) {
                const auto known = [](int v) { return v < 0 ? std::nullopt : std::optional<bool>(v == 1); };
                const std::optional<bool> was = registered_;
                registered_ = known(registered);
                hostHolds_ = known(holds);
                hostPresent_ = known(hostPresent);
                confirmed_ = confirmed;
                if (registered_ && registered_ != was)
                    Q_EMIT registeredChanged(*registered_);
            });
    // A host reads the item and its menu the moment it registers, and a
    // host that finds it without an icon or a menu may keep it that way
    // (or drop it): it registers at the next turn of the event loop, once
    // whoever made it has given it its icon, tooltip and menu.
    QTimer::singleShot(0, this, [this] { QMetaObject::invokeMethod(service_, &ItemService::start); });
}

StatusNotifierItem::~StatusNotifierItem() {
    if (!thread_.isRunning())
        return;
    inBusThread([this] {
        delete service_;
        delete export_;
        delete bus_;
        delete anchor_;
    });
    thread_.quit();
    thread_.wait();
}

void StatusNotifierItem::inBusThread(const std::function<void()>& work) {
    QMetaObject::invokeMethod(anchor_, work, Qt::BlockingQueuedConnection);
}

void StatusNotifierItem::setMenuDelegate(MenuDelegate* delegate) {
    menu_->setMenuDelegate(delegate);
    // Built at once: a host may read the menu before it ever opens it.
    menu_->update();
}

void StatusNotifierItem::menuChanged() {
    menu_->menuChanged();
}

void StatusNotifierItem::setIcon(const TrayPixmaps& icon, const QString& iconName) {
    state_.changeIcon([&](TrayState::Icon& i) {
        i.pixmaps = icon;
        i.name = iconName;
    });
    if (service_)
        QMetaObject::invokeMethod(service_, &ItemService::iconChanged);
}

void StatusNotifierItem::setToolTip(const QString& text) {
    if (text == text_)
        return;
    text_ = text;
    state_.changeIcon([&](TrayState::Icon& i) { i.toolTip = toolTipOf(text); });
    if (service_)
        QMetaObject::invokeMethod(service_, &ItemService::toolTipChanged);
}

} // namespace veldrin
