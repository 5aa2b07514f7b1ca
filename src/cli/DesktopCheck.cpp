#include "cli/DesktopCheck.h"

#include "base/Paths.h"
#include "cli/CommandLine.h"
#include "cli/DisplayProbe.h"
#include "platform/DesktopServices.h"
#include "platform/Displays.h"

#include <QFileInfo>
#include <QGuiApplication>

#include <memory>

namespace veldrin {

namespace {

void say(const QString& line) {
    writeUtf8(stdout, line + QLatin1Char('\n'));
}

// "a, b and c"
QString listed(const QStringList& items) {
    if (items.size() < 2)
        return items.join(QString());
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + items.last();
}

bool checkController() {
    const QString path = controller();
    const QFileInfo info(path);
    QString problem;
    if (!info.exists())
        problem = QStringLiteral("missing");
    else if (!info.isFile())
        problem = QStringLiteral("not a file");
    else if (!info.isExecutable())
        problem = QStringLiteral("not executable");
    say(QStringLiteral("controller: ") + path +
        (problem.isEmpty() ? QStringLiteral(" (executable)") : QStringLiteral(" — ") + problem));
    return problem.isEmpty();
}

// Opens the display only when one answers (or the user chose a platform that
// needs none); `app` is the application either way.
bool checkDisplay(std::unique_ptr<QCoreApplication>& app, int& argc, char** argv) {
    if (displayPlatforms().isEmpty()) { // the one display there is
        app = startApplication(argc, argv);
        say(QStringLiteral("display: ") + QGuiApplication::platformName());
        return true;
    }
    const QString chosen = qEnvironmentVariable("QT_QPA_PLATFORM");
    const QString byChoice = QStringLiteral(" (QT_QPA_PLATFORM=") + chosen + QLatin1Char(')');
    const std::optional<QString> noneBecause =
        chosen.isEmpty() ? prepareDisplay() : noDisplay(probeDisplays(), platformsNeedingADisplay(chosen));
    if (noneBecause) {
        app = std::make_unique<QCoreApplication>(argc, argv);
        say(QStringLiteral("display: none — ") + *noneBecause + (chosen.isEmpty() ? QString() : byChoice));
        return false;
    }
    app = startApplication(argc, argv);
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb"))
        say(QStringLiteral("display: xcb (DISPLAY=") + qEnvironmentVariable("DISPLAY") + QLatin1Char(')'));
    else if (platform.startsWith(QLatin1String("wayland")))
        say(QStringLiteral("display: ") + platform + QStringLiteral(" (WAYLAND_DISPLAY=") +
            qEnvironmentVariable("WAYLAND_DISPLAY") + QLatin1Char(')'));
    else
        say(QStringLiteral("display: ") + platform + byChoice);
    return true;
}

} // namespace

int runDesktopCheck(int& argc, char** argv) {
    QStringList missing;
    if (!checkController())
        missing << QStringLiteral("an executable controller");

    std::unique_ptr<QCoreApplication> app;
    if (!checkDisplay(app, argc, argv))
        missing << QStringLiteral("a display");
    if (const std::optional<QString> lacking = checkDesktopServices(say))
        missing << *lacking;

    if (missing.isEmpty()) {
        say(QStringLiteral("ready: Veldrin has all it needs here"));
        return 0;
    }
    say(QStringLiteral("not ready: missing ") + listed(missing));
    return 1;
}

} // namespace veldrin
