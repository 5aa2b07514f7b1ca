// The least a Qt tray program does, as the baseline that bench_idle (its
// resident set once shown) and bench_startup (its time to the icon shown)
// hold Veldrin against: a QApplication, a QSystemTrayIcon with a drawn icon
// and a QMenu of a few QActions, show(), the event loop.
//
// Usage: minimal_tray   (the benchmarks start it with QT_QPA_PLATFORM=offscreen)
// When VELDRIN_SHOWN_FD names a file descriptor, it writes "shown\n" there
// once the icon is shown and the event loop has turned once, as veldrin does.

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0x85, 0x85, 0x85), 2.4));
        painter.drawEllipse(QRectF(4, 4, 14, 14));
    }
    QMenu menu;
    menu.addAction(QStringLiteral("Sync Now"));
    menu.addAction(QStringLiteral("Show Logs"));
    menu.addSeparator();
    QObject::connect(menu.addAction(QStringLiteral("Quit")), &QAction::triggered, &app,
                     &QCoreApplication::quit);
    QSystemTrayIcon tray{QIcon(pixmap)};
    tray.setToolTip(QStringLiteral("Minimal tray"));
    tray.setContextMenu(&menu);
    tray.show();

    bool isNumber = false;
    const int shownFd = qEnvironmentVariableIntValue("VELDRIN_SHOWN_FD", &isNumber);
    if (isNumber && shownFd > STDERR_FILENO) {
        fcntl(shownFd, F_SETFD, FD_CLOEXEC);
        QTimer::singleShot(0, [shownFd] {
            [[maybe_unused]] const ssize_t written = write(shownFd, "shown\n", 6);
            close(shownFd);
        });
    }
    return QApplication::exec();
}
