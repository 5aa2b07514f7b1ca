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
                    const QString& button, QStringList items, QStringList details, int width) {
    AlertRequest request = confirmation(message,
                                        QStringLiteral("Choose a ") + what + QStringLiteral(" from the ") +
                                            profileForKey(profile).label +
                                            QStringLiteral(" profile. Up sync must be enabled first."),
                                        button);
    request.popUp = PopUpList{std::move(items), width, std::move(details)};
    return request;
}

AlertRequest nothingToOffer(const QString& message, const QString& informativeText) {
    return {AlertStyle::warning, message, informativeText, {QStringLiteral("OK")}, std::nullopt};
}

// The projects of a state file, in file order, or why it is not one.
ProjectListing parseStateFile(const QString& path, const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return {{},
                path + QStringLiteral(" is not valid JSON (") + error.errorString() +
                    QStringLiteral(" at byte ") + QString::number(error.offset) + QLatin1Char(')')};
    if (!document.isObject())
        return {{}, path + QStringLiteral(" does not hold a JSON object")};
    // A state file without projects has none to offer.
    const QJsonValue projects = document.object().value(QLatin1String("local-projects"));
    if (projects.isUndefined())
        return {};
    if (!projects.isObject())
        return {{}, path + QStringLiteral(": \"local-projects\" is not a JSON object")};
    ProjectListing listing;
    const QJsonObject members = projects.toObject();
    for (auto it = members.begin(); it != members.end(); ++it) {
        const QJsonValue name = it.value().toObject().value(QLatin1String("name"));
        if (it.value().isObject() && name.isString())
            listing.projects.append({it.key(), name.toString()});
    }
    return listing;
}

// What the state file at `path` holds, as `read` found it.
ProjectListing projectListing(const QString& path, const BoundedRead& read) {
    using Problem = BoundedRead::Problem;
    switch (read.problem) {
    case Problem::none:
        break;
    case Problem::missing:
        return {};
    case Problem::unreadable:
        return {{}, path + QStringLiteral(": ") + read.reason};
    case Problem::notRegular:
        return {{}, path + QStringLiteral(" is not a regular file")};
    case Problem::tooLarge:
        return {{},
                path + QStringLiteral(" is larger than ") +
                    QString::number(globalStateMaxBytes / (1024 * 1024)) + QStringLiteral(" MiB")};
    case Problem::changed:
        return {{}, path + QStringLiteral(" changed while it was read")};
    }
    ProjectListing listing = parseStateFile(path, read.contents.value_or(QByteArray()));
    sortByName(listing.projects);
    return listing;
}

} // namespace

QString globalStateFile(const QString& profile) {
    return dataFolderPath(profileForKey(profile)) + QStringLiteral("/.codex-global-state.json");
}

QList<OfferCandidate> parseLocalProjects(const QByteArray& json) {
    return parseStateFile(QString(), json).projects;
}

void sortByName(QList<OfferCandidate>& candidates) {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](const OfferCandidate& a, const OfferCandidate& b) {
                         return collator.compare(a.name, b.name) < 0;
                     });
}

ProjectListing localProjects(const QString& profile) {
    const QString path = globalStateFile(profile);
    return projectListing(path, readBoundedFile(path, globalStateMaxBytes));
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

AlertRequest projectListFailedAlert(const QString& failure) {
    return nothingToOffer(QStringLiteral("Could not list projects"), failure);
}

AlertRequest chatListFailedAlert(const QString& failure) {
    return nothingToOffer(QStringLiteral("Could not list chats"), failure);
}

// A project's key is its folder's path: what tells two of the same name apart.
AlertRequest projectChoice(const QString& profile, const QList<OfferCandidate>& projects) {
    QStringList names;
    QStringList paths;
    for (const OfferCandidate& project : projects) {
        names.append(project.name);
        paths.append(project.key);
    }
    return choice(QStringLiteral("Offer a project for cloud sync"), QStringLiteral("project"), profile,
                  QStringLiteral("Offer Project"), names, paths, 360);
}

AlertRequest chatChoice(const QString& profile, const QList<OfferCandidate>& chats) {
    QStringList titles;
    for (const OfferCandidate& chat : chats)
        titles.append(chatPopUpTitle(chat.name));
    return choice(QStringLiteral("Offer a chat for cloud sync"), QStringLiteral("chat"), profile,
                  QStringLiteral("Offer Chat"), titles, {}, 460);
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
