#pragma once

// Offering one local project or one chat of a profile to the cloud: the
// candidates, the alerts that let the user pick one, and the offer commands.

#include "exec/ControllerJob.h"
#include "exec/Shell.h"
#include "platform/Alerts.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>

namespace veldrin {

// A project (its key under "local-projects", its name) or a chat (id, title).
struct OfferCandidate {
    QString key;
    QString name;
    friend bool operator==(const OfferCandidate&, const OfferCandidate&) = default;
};

// A state file larger than this is not read.
inline constexpr qint64 globalStateMaxBytes = 16 * 1024 * 1024;
// Listing chats keeps the user waiting: it may not take longer than this.
inline constexpr QueryLimits chatListLimits{std::chrono::seconds(15), 4 * 1024 * 1024};

// ~/.codex/.codex-global-state.json, ~/.codex-alt/… for "alt", ~/.codex-tri/… for any other key.
QString globalStateFile(const QString& profile);

// The projects of a global state file, in file order.
QList<OfferCandidate> parseLocalProjects(const QByteArray& json);
// Sorted by name, case-insensitively in the user's locale; equal names keep their order.
void sortByName(QList<OfferCandidate>& candidates);

// The projects to choose from, or why they could not be read.
struct ProjectListing {
    QList<OfferCandidate> projects; // sorted by name
    // Why the state file could not be read: unreadable, too large, not JSON,
    // not a state file. None for a list, even an empty one, and for a missing
    // file (a profile whose app has never run has no projects).
    std::optional<QString> failure;
};
// The profile's projects.
ProjectListing localProjects(const QString& profile);

QStringList listChatsArguments(const QString& profile);

// The chats to choose from, or why there is no list.
struct ChatListing {
    QList<OfferCandidate> chats; // in the controller's order, line feeds in titles made spaces
    // The bound the controller broke, or what it said instead of a list
    // (trimmed, and cut at a thousand characters); none for a list, even an empty one.
    std::optional<QString> failure;
};
// What `program`'s `cloud list-chats` answer holds.
ChatListing chatListing(const QString& program, const ShellResult& result);
// Asks the controller for the profile's chats. Any thread.
ChatListing localChats(const QString& profile, const QueryLimits& limits, const StopToken& stop = {});

// A chat title as the pop-up shows it: its first 100 user-perceived characters.
QString chatPopUpTitle(const QString& title);

namespace offering {

AlertRequest noProjectsAlert();
AlertRequest noChatsAlert();
AlertRequest projectListFailedAlert(const QString& failure);
AlertRequest chatListFailedAlert(const QString& failure);
AlertRequest projectChoice(const QString& profile, const QList<OfferCandidate>& projects);
AlertRequest chatChoice(const QString& profile, const QList<OfferCandidate>& chats);
ControllerJob offerProject(const QString& profile, const OfferCandidate& project);
ControllerJob offerChat(const QString& profile, const OfferCandidate& chat);

} // namespace offering

} // namespace veldrin
