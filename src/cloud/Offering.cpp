#include "cloud/Offering.h"

#include "base/BoundedFile.h"
#include "base/Paths.h"
#include "base/Profiles.h"
#include "cloud/CloudStatus.h"
#include "menu/TitleText.h"

#include <QCollator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace veldrin {

namespace {

constexpr int chatTitleMaxCharacters = 100;

AlertRequest choice(const QString& message, const QString& what, const QString& profile,
                    const QString& button, QStringList items, int width) {
    AlertRequest request = confirmation(message,
                                        QStringLiteral("Choose a ") + what + QStringLiteral(" from the ") +
                                            profileForKey(profile).label +
                                            QStringLiteral(" profile. Up sync must be enabled first."),
                                        button);
    request.popUp = PopUpList{std::move(items), width};
    return request;
}

AlertRequest nothingToOffer(const QString& message, const QString& informativeText) {
    return {AlertStyle::warning, message, informativeText, {QStringLiteral("OK")}, std::nullopt};
}

} // namespace

QString globalStateFile(const QString& profile) {
    return dataFolderPath(profileForKey(profile)) + QStringLiteral("/.codex-global-state.json");
}

QList<OfferCandidate> parseLocalProjects(const QByteArray& json) {
    const QJsonDocument document = QJsonDocument::fromJson(json);
    const QJsonValue projects = document.object().value(QLatin1String("local-projects"));
    if (!document.isObject() || !projects.isObject())
        return {};
    QList<OfferCandidate> candidates;
    const QJsonObject members = projects.toObject();
    for (auto it = members.begin(); it != members.end(); ++it) {
        const QJsonValue name = it.value().toObject().value(QLatin1String("name"));
        if (it.value().isObject() && name.isString())
            candidates.append({it.key(), name.toString()});
    }
    return candidates;
}

void sortByName(QList<OfferCandidate>& candidates) {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](const OfferCandidate& a, const OfferCandidate& b) {
                         return collator.compare(a.name, b.name) < 0;
                     });
}

QList<OfferCandidate> localProjects(const QString& profile) {
    const std::optional<QByteArray> json = readRegularFile(globalStateFile(profile), globalStateMaxBytes);
    if (!json)
        return {};
    QList<OfferCandidate> projects = parseLocalProjects(*json);
    sortByName(projects);
    return projects;
}

QStringList listChatsArguments(const QString& profile) {
    return {QStringLiteral("cloud"), QStringLiteral("list-chats"), profile};
}

namespace {

constexpr int failureMaxCharacters = 1000;

QString failureText(const QString& output, const QString& whenEmpty) {
    const QString trimmed = output.trimmed();
    if (trimmed.isEmpty())
        return whenEmpty;
    const QString cut = firstCharacters(trimmed, failureMaxCharacters);
    return cut.size() < trimmed.size() ? cut + QStringLiteral("…") : cut;
}

} // namespace

ChatListing chatListing(const QString& program, const ShellResult& result) {
    if (result.failure != ShellFailure::none)
        return {{}, result.output};
    if (result.status != 0)
        return {{},
                failureText(result.output, program + QStringLiteral(" exited with status ") +
                                               QString::number(result.status))};
    // A warning printed before the JSON spoils it: the output merges both streams.
    const QJsonDocument document = QJsonDocument::fromJson(result.output.toUtf8());
    const QJsonArray chats = document.array();
    if (!document.isArray() ||
        !std::all_of(chats.begin(), chats.end(), [](const QJsonValue& chat) { return chat.isObject(); }))
        return {{}, failureText(result.output, program + QStringLiteral(" printed no chat list"))};
    ChatListing listing;
    for (const QJsonValue& chat : chats) {
        const QJsonValue id = chat.toObject().value(QLatin1String("id"));
        const QJsonValue title = chat.toObject().value(QLatin1String("title"));
        if (id.isString() && title.isString())
            listing.chats.append(
                {id.toString(), title.toString().replace(QLatin1Char('\n'), QLatin1Char(' '))});
    }
    return listing;
}

ChatListing localChats(const QString& profile, const QueryLimits& limits, const StopToken& stop) {
    const QString program = controller();
    return chatListing(program, shell(QStringList{program} + listChatsArguments(profile), limits, stop));
}

QString chatPopUpTitle(const QString& title) {
    return firstCharacters(title, chatTitleMaxCharacters);
}

namespace offering {

AlertRequest noProjectsAlert() {
    return nothingToOffer(QStringLiteral("No projects found"),
                          QStringLiteral("The selected profile has no local projects available to offer."));
}

AlertRequest noChatsAlert() {
    return nothingToOffer(QStringLiteral("No chats found"),
                          QStringLiteral("The selected profile has no chats available to offer."));
}

AlertRequest chatListFailedAlert(const QString& failure) {
    return {AlertStyle::warning,
            QStringLiteral("Could not list chats"),
            failure,
            {QStringLiteral("OK")},
            std::nullopt};
}

AlertRequest projectChoice(const QString& profile, const QList<OfferCandidate>& projects) {
    QStringList names;
    for (const OfferCandidate& project : projects)
        names.append(project.name);
    return choice(QStringLiteral("Offer a project for cloud sync"), QStringLiteral("project"), profile,
                  QStringLiteral("Offer Project"), names, 360);
}

AlertRequest chatChoice(const QString& profile, const QList<OfferCandidate>& chats) {
    QStringList titles;
    for (const OfferCandidate& chat : chats)
        titles.append(chatPopUpTitle(chat.name));
    return choice(QStringLiteral("Offer a chat for cloud sync"), QStringLiteral("chat"), profile,
                  QStringLiteral("Offer Chat"), titles, 460);
}

ControllerJob offerProject(const QString& profile, const OfferCandidate& project) {
    return {{QStringLiteral("cloud"), QStringLiteral("offer"), profile, project.key},
            QStringLiteral("Offer ") + project.name};
}

ControllerJob offerChat(const QString& profile, const OfferCandidate& chat) {
    return {{QStringLiteral("cloud"), QStringLiteral("offer-chat"), profile, chat.key},
            QStringLiteral("Offer Chat")};
}

} // namespace offering

} // namespace veldrin
