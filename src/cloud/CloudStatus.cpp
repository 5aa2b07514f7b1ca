#include "cloud/CloudStatus.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariant>

#include <cmath>
#include <limits>

namespace veldrin {

namespace {

bool jsonFlag(const QJsonValue& value) {
    if (value.isBool())
        return value.toBool();
    return value.isDouble() && value.toDouble() != 0;
}

QString modeFor(bool up, bool down) {
    if (up)
        return down ? QStringLiteral("both") : QStringLiteral("up");
    return down ? QStringLiteral("down") : QStringLiteral("off");
}

CloudModel failure(const QString& output) {
    CloudModel model;
    const QString trimmed = output.trimmed();
    model.cloudError = trimmed.isEmpty() ? QStringLiteral("Cloud status unavailable") : trimmed;
    return model;
}

} // namespace

qint64 jsonCount(const QJsonValue& value) {
    if (!value.isDouble())
        return 0;
    // Whole numbers that fit are held exactly; the rest come as doubles.
    const QVariant exact = value.toVariant();
    if (exact.typeId() == QMetaType::LongLong)
        return exact.toLongLong();
    const double whole = std::trunc(value.toDouble());
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (whole >= limit)
        return std::numeric_limits<qint64>::max();
    if (whole < -limit)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(whole);
}

CloudModel parseCloudStatus(int status, const QString& output) {
    if (status != 0)
        return failure(output);
    const QJsonDocument document = QJsonDocument::fromJson(output.toUtf8());
    if (!document.isObject())
        return failure(output);
    const QJsonObject top = document.object();
    const QJsonValue profiles = top.value(QLatin1String("profiles"));
    if (!profiles.isArray())
        return failure(output);
    // One element that is not an object makes the whole answer unusable.
    const QJsonArray elements = profiles.toArray();
    for (const QJsonValue& element : elements) {
        if (!element.isObject())
            return failure(output);
    }

    CloudModel model;
    for (const QJsonValue& element : elements) {
        const QJsonObject profile = element.toObject();
        const QJsonValue key = profile.value(QLatin1String("profile"));
        if (!key.isString())
            continue;
        const QJsonValue name = profile.value(QLatin1String("name"));
        if (!model.cloudDeviceName && name.isString())
            model.cloudDeviceName = name.toString();
        // A later entry for the same profile wins.
        model.cloudProfiles[key.toString()] = {
            modeFor(jsonFlag(profile.value(QLatin1String("upload_enabled"))),
                    jsonFlag(profile.value(QLatin1String("download_enabled")))),
            jsonCount(profile.value(QLatin1String("offered_projects"))),
            jsonCount(profile.value(QLatin1String("offered_chats"))),
        };
    }
    const QJsonValue summary = top.value(QLatin1String("transferSummary"));
    if (summary.isObject()) {
        const QJsonObject counts = summary.toObject();
        for (const char* state : {"pending", "available", "downloading", "applied", "error"})
            model.cloudTransfers[QString::fromLatin1(state)] = jsonCount(counts.value(QLatin1String(state)));
    }
    return model;
}

} // namespace veldrin
