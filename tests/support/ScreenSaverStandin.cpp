// A stand-in org.freedesktop.ScreenSaver for the tests:
//   screensaver-standin BUS_ADDRESS LOG_FILE
// serves Inhibit and UnInhibit on that bus, writes one line per call to the
// log, and prints "ready" once the name is taken.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>

#include <cstdio>

class ScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    explicit ScreenSaver(QString log) : log_(std::move(log)) {}
public Q_SLOTS:
    uint Inhibit(const QString& application, const QString& reason) {
        write("Inhibit " + application + "|" + reason);
        return 4242;
    }
    void UnInhibit(uint cookie) { write("UnInhibit " + QString::number(cookie)); }

private:
    void write(const QString& line) {
        QFile file(log_);
        if (file.open(QIODevice::Append))
            file.write((line + '\n').toUtf8());
    }
    QString log_;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromLocal8Bit(argv[1]), "standin");
    ScreenSaver screenSaver(QString::fromLocal8Bit(argv[2]));
    if (!bus.registerObject("/org/freedesktop/ScreenSaver", &screenSaver, QDBusConnection::ExportAllSlots) ||
        !bus.registerService("org.freedesktop.ScreenSaver"))
        return 1;
    std::puts("ready");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

#include "ScreenSaverStandin.moc"
