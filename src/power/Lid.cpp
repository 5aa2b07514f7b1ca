#include "power/Lid.h"

#include "base/Paths.h"

#include <QRegularExpression>

namespace veldrin {

std::optional<bool> parseSleepDisabled(const QString& listing) {
    static const QRegularExpression whitespace(QStringLiteral("\\s+"),
                                               QRegularExpression::UseUnicodePropertiesOption);
    for (const QString& line : listing.split(QLatin1Char('\n'))) {
        const QStringList pieces = line.split(whitespace, Qt::SkipEmptyParts);
        if (pieces.isEmpty())
            continue;
        const QString key = pieces.first().toLower();
        if (key != QLatin1String("sleepdisabled") && key != QLatin1String("disablesleep"))
            continue;
        if (pieces.last() == QLatin1String("1"))
            return true;
        if (pieces.last() == QLatin1String("0"))
            return false;
        return std::nullopt;
    }
    return std::nullopt;
}

QStringList lidReadingCommand() {
    return {systemPath(QStringLiteral("/usr/bin/pmset")), QStringLiteral("-g")};
}

QStringList lidChangingCommand(bool enabled) {
    return {systemPath(QStringLiteral("/usr/bin/sudo")),
            QStringLiteral("-n"),
            systemPath(QStringLiteral("/usr/bin/pmset")),
            QStringLiteral("-a"),
            QStringLiteral("disablesleep"),
            enabled ? QStringLiteral("1") : QStringLiteral("0")};
}

LidReading lidReading(const ShellResult& reading) {
    if (reading.status != 0)
        return {std::nullopt, reading.output.trimmed()};
    if (const std::optional<bool> value = parseSleepDisabled(reading.output))
        return {value, std::nullopt};
    return {std::nullopt, QStringLiteral("macOS did not report its lid-sleep setting")};
}

QString lidFailureDetail(const ShellResult& change, const ShellResult& reading) {
    const QString detail = (change.output + QLatin1Char('\n') + reading.output).trimmed();
    if (!detail.isEmpty())
        return detail;
    return QStringLiteral("pmset exited with status ") + QString::number(change.status) +
           QStringLiteral("; verification exited with status ") + QString::number(reading.status) +
           QLatin1Char('.');
}

namespace lidAlerts {

AlertRequest turnOnConfirmation() {
    return confirmation(
        QStringLiteral("Keep this Mac running with its lid closed?"),
        QStringLiteral("Background work can continue, but the Mac may use significant battery and "
                       "create heat. Keep it ventilated and do not place it in a bag while enabled."),
        QStringLiteral("Turn On"));
}

AlertRequest changeFailed(const QString& detail) {
    return {AlertStyle::warning,
            QStringLiteral("Could not change lid sleep mode"),
            detail + QStringLiteral("\n\nReinstall Veldrin to restore its restricted system permission."),
            {QStringLiteral("OK")},
            std::nullopt,
            true};
}

} // namespace lidAlerts

} // namespace veldrin
