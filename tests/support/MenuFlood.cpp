#include "support/MenuFlood.h"

#include "platform/linux/TrayTypes.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <atomic>
#include <memory>
#include <vector>

namespace veldrin::test {

namespace {

const QString menuInterface = QStringLiteral("com.canonical.dbusmenu");
const QString menuPath = QStringLiteral("/MenuBar");
QDBusMessage request(const QString& service, FloodKind kind, int item, int many) {
    const auto call = [&](const char* method) {
        return QDBusMessage::createMethodCall(service, menuPath, menuInterface, QString::fromLatin1(method));
    };
    const QVariant nothing = QVariant::fromValue(QDBusVariant(0));
    switch (kind) {
    case FloodKind::aboutToShow:
        return call("AboutToShow") << 0;
    case FloodKind::layoutNames:
        return call("GetLayout") << 0 << -1 << QStringList(many, QStringLiteral("label"));
    case FloodKind::propertyIds: {
        QList<int> ids(many);
        for (int i = 0; i < many; ++i)
            ids[i] = i % 5000;
        return call("GetGroupProperties") << QVariant::fromValue(ids) << QStringList();
    }
    case FloodKind::property:
        return call("GetProperty") << item << QStringLiteral("label");
    case FloodKind::click:
        return call("Event") << item << QStringLiteral("clicked") << nothing << 0u;
    case FloodKind::eventGroup: {
        DBusMenuEventList events;
        events.reserve(many);
        for (int i = 0; i < many; ++i)
            events.append({i % 2 ? item : i % 7000, QStringLiteral("clicked"), QDBusVariant(0), 0u});
        return call("EventGroup") << QVariant::fromValue(events);
    }
    }
    return {};
}

} // namespace

QString floodName(FloodKind kind, int elements) {
    const QString many = elements == 1000000 ? QStringLiteral("10^6") : QString::number(elements);
    switch (kind) {
    case FloodKind::aboutToShow:
        return QStringLiteral("AboutToShow(0)");
    case FloodKind::layoutNames:
        return QStringLiteral("GetLayout, %1 names").arg(many);
    case FloodKind::propertyIds:
        return QStringLiteral("GetGroupProperties, %1 ids").arg(many);
    case FloodKind::property:
        return QStringLiteral("GetProperty");
    case FloodKind::click:
        return QStringLiteral("Event \"clicked\"");
    case FloodKind::eventGroup:
        return QStringLiteral("EventGroup, %1 events").arg(many);
    }
    return QStringLiteral("?");
}

long residentKb(pid_t pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

FloodResult floodMenu(const QString& address, const QString& service, pid_t pid, FloodKind kind,
                      std::chrono::milliseconds duration, int item, int elements) {
    registerTrayTypes();
    FloodResult result;
    result.residentBeforeKb = residentKb(pid);
    result.residentPeakKb = result.residentBeforeKb;
    const QDBusMessage message = request(service, kind, item, elements);
    std::atomic<bool> stop = false;
    std::atomic<long> calls = 0;
    std::vector<std::unique_ptr<QThread>> flooders;
    for (int i = 0; i < 2; ++i) {
        flooders.emplace_back(QThread::create([&, i] {
            const QString name = QStringLiteral("flood-%1").arg(i);
            {
                QDBusConnection bus = QDBusConnection::connectToBus(address, name);
                while (!stop) {
                    if (bus.call(message, QDBus::Block, 10000).type() != QDBusMessage::ErrorMessage ||
                        kind == FloodKind::click)
                        ++calls;
                }
            }
            QDBusConnection::disconnectFromBus(name);
        }));
        flooders.back()->start();
    }
    {
        QDBusConnection probe = QDBusConnection::connectToBus(address, QStringLiteral("flood-probe"));
        QDBusMessage get =
            QDBusMessage::createMethodCall(service, menuPath, "org.freedesktop.DBus.Properties", "Get");
        get << menuInterface << QStringLiteral("Version");
        QElapsedTimer total;
        total.start();
        while (total.elapsed() < duration.count()) {
            QThread::msleep(100);
            QElapsedTimer t;
            t.start();
            const bool answered = probe.call(get, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
            result.worstProbeMs = std::max(result.worstProbeMs, long(t.elapsed()));
            result.probes += answered;
            result.residentPeakKb = std::max(result.residentPeakKb, residentKb(pid));
        }
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("flood-probe"));
    stop = true;
    for (auto& flooder : flooders)
        flooder->wait();
    result.calls = calls;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    result.alive = stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z ");
    return result;
}

} // namespace veldrin::test
