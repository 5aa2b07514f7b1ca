#include "cli/DisplayProbe.h"

#include "cli/CommandLine.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace veldrin {

namespace {

// Qt's platform messages while it starts: kept back, to be passed on once it
// has started or named in the one line that says why it could not.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
QtMessageHandler passOn = nullptr;
std::vector<HeldMessage> held;
// Whether QT_QPA_PLATFORM is ours, set for Qt alone.
bool platformChosenHere = false;

void holdPlatformMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const QByteArray category(context.category ? context.category : "");
    if (type == QtFatalMsg) {
        // Qt's first complaint names the cause ("could not connect to display
        // :0"); its last one only advises reinstalling.
        const QString why = held.empty() ? text.section(QLatin1Char('\n'), 0, 0) : held.front().text;
        std::fflush(stdout);
        writeUtf8(stderr,
                  QStringLiteral("veldrin: Qt could not open the display: ") + why + QLatin1Char('\n'));
        _exit(1);
    }
    if (category.startsWith("qt.qpa"))
        held.push_back({type, category, text});
    else
        passOn(type, context, text);
}

} // namespace

std::optional<QString> noDisplay(const std::vector<DisplayTry>& tried, const QStringList& platforms) {
    if (platforms.isEmpty())
        return std::nullopt;
    QStringList failed;
    QStringList unset;
    for (const QString& platform : platforms) {
        const auto it = std::find_if(tried.begin(), tried.end(),
                                     [&](const DisplayTry& t) { return t.platform == platform; });
        if (it == tried.end())
            unset << (platform == QLatin1String("xcb") ? QStringLiteral("DISPLAY")
                                                       : QStringLiteral("WAYLAND_DISPLAY"));
        else if (it->failure)
            failed << *it->failure;
        else
            return std::nullopt;
    }
    if (!failed.isEmpty()) // what was tried, not what was not
        return failed.join(QStringLiteral("; "));
    unset.sort();
    return unset.join(QStringLiteral(" and ")) +
           (unset.size() > 1 ? QStringLiteral(" are unset") : QStringLiteral(" is unset"));
}

QStringList platformsNeedingADisplay(const QString& qtPlatform) {
    QStringList platforms;
    for (const QString& entry : qtPlatform.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = entry.section(QLatin1Char(':'), 0, 0);
        if (name.startsWith(QLatin1String("wayland")))
            platforms << QStringLiteral("wayland");
        else if (name == QLatin1String("xcb"))
            platforms << QStringLiteral("xcb");
        else
            return {};
    }
    return platforms;
}

std::optional<QString> prepareDisplay() {
    const QStringList platforms = displayPlatforms();
    if (platforms.isEmpty())
        return std::nullopt; // the one display there is
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return std::nullopt; // the user's choice, as the user made it
    const std::vector<DisplayTry> tried = probeDisplays();
    if (std::optional<QString> why = noDisplay(tried, platforms))
        return why;
    // Where both answer, Qt picks as it does for every application.
    QStringList answering;
    for (const DisplayTry& t : tried)
        if (!t.failure)
            answering << t.platform;
    if (answering.size() == 1) {
        qputenv("QT_QPA_PLATFORM", answering.front().toUtf8());
        platformChosenHere = true;
    }
    return std::nullopt;
}

std::unique_ptr<QApplication> startApplication(int& argc, char** argv) {
    passOn = qInstallMessageHandler(holdPlatformMessages);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(passOn);
    // The controller and a login's terminal get the environment Veldrin got.
    if (platformChosenHere)
        qunsetenv("QT_QPA_PLATFORM");
    for (const HeldMessage& message : held)
        passOn(message.type, QMessageLogContext(nullptr, 0, nullptr, message.category.constData()),
               message.text);
    held.clear();
    return app;
}

} // namespace veldrin
