// A stand-in org.freedesktop.ScreenSaver: `screensaver-standin BUS_ADDRESS LOG`
// serves Inhibit and UnInhibit on that bus, logs one line per call, and prints
// "ready" once it holds the name.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>

#include <cstdio>

class ScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public Q_SLOTS:
    uint Inhibit(const QString& application, const QString& reason) {
        return log("Inhibit " + application + "|" + reason), 4242;
    }
    void UnInhibit(uint cookie) { log("UnInhibit " + QString::number(cookie)); }

private:
    static void log(const QString& line) {
        QFile file(QCoreApplication::arguments().at(2));
        if (file.open(QIODevice::Append))
            file.write((line + '\n').toUtf8());
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromLocal8Bit(argv[1]), "standin");
    ScreenSaver screenSaver;
    if (!bus.registerObject("/org/freedesktop/ScreenSaver", &screenSaver, QDBusConnection::ExportAllSlots) ||
        !bus.registerService("org.freedesktop.ScreenSaver"))
        return 1;
    std::puts("ready");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

#include "ScreenSaverStandin.moc"
