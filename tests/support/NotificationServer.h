#pragma once

// A stand-in org.freedesktop.Notifications: it keeps what it is sent, reads
// bodies as markup or (like some servers) shows them as plain text, clicks as
// a person does, or, `silent`, never answers who it is.

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QMutex>
#include <QObject>
#include <QStringList>

#include <atomic>

namespace veldrin::test {

class NotificationServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public Q_SLOTS:
    QString GetServerInformation(QString& vendor, QString& version, QString& protocolVersion) {
        if (silent)
            setDelayedReply(true);
        vendor = "Veldrin tests";
        version = protocolVersion = "1.2";
        return "Stand-in";
    }
    QStringList GetCapabilities() {
        return markup ? QStringList{"actions", "body", "body-markup"} : QStringList{"actions", "body"};
    }
    uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap&, int) {
        const QMutexLocker lock(&mutex);
        sent << app + "|" + summary + "|" + body + "|" + actions.join(",");
        return uint(sent.size());
    }

public:
    // "app|summary|body|actions" of each notification, numbered from 1.
    QStringList shown() const {
        const QMutexLocker lock(&mutex);
        return sent;
    }
    // From the server's own thread, so that it follows the answer to Notify.
    void click(uint id, const QString& action) {
        QMetaObject::invokeMethod(this, [=] {
            QDBusMessage signal = QDBusMessage::createSignal(
                "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
            signal << id << action;
            QDBusConnection("org.freedesktop.Notifications").send(signal);
        });
    }
    std::atomic<bool> markup = true;
    std::atomic<bool> silent = false;

private:
    mutable QMutex mutex;
    QStringList sent;
};

} // namespace veldrin::test
