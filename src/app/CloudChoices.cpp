#include "app/AppDelegate.h"

#include "base/Paths.h"
#include "cloud/Login.h"
#include "exec/Detached.h"

#include <QCursor>
#include <QGuiApplication>

namespace veldrin {

namespace {

// The wait cursor while the controller lists chats; only a GUI application has one.
void showBusy(bool busy) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    if (busy)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QGuiApplication::restoreOverrideCursor();
}

} // namespace

void AppDelegate::offerCloudProject(const QVariant& representedObject) {
    if (representedObject.typeId() != QMetaType::QString)
        return;
    const QString profile = representedObject.toString();
    const ProjectListing listing = localProjects(profile);
    if (listing.failure) {
        platform_.alerts->runModal(offering::projectListFailedAlert(*listing.failure));
        return;
    }
    const QList<OfferCandidate>& projects = listing.projects;
    if (projects.isEmpty()) {
        platform_.alerts->runModal(offering::noProjectsAlert());
        return;
    }
    const AlertResponse response = platform_.alerts->runModal(offering::projectChoice(profile, projects));
    if (response.button == firstButton && response.selectedItem >= 0 &&
        response.selectedItem < projects.size())
        run(offering::offerProject(profile, projects[response.selectedItem]));
}

// The controller lists the chats in the background, so that the menu bar
// stays live; the choice is offered when the list is there. A second request
// meanwhile is not queued (its answer would come after the user has moved
// on, perhaps for another profile) but heard: the one under way answers soon.
void AppDelegate::offerCloudChat(const QVariant& representedObject) {
    if (representedObject.typeId() != QMetaType::QString)
        return;
    if (cloud.listingChats) {
        platform_.alerts->beep();
        return;
    }
    const QString profile = representedObject.toString();
    cloud.listingChats = true;
    showBusy(true);
    inBackground(
        [profile, bound = limits.chatList](const StopToken& stop) {
            return localChats(profile, bound, stop);
        },
        [profile](AppDelegate& self, const ChatListing& listing) { self.offerChatFrom(profile, listing); });
}

void AppDelegate::offerChatFrom(const QString& profile, const ChatListing& listing) {
    cloud.listingChats = false;
    showBusy(false);
    if (listing.failure) {
        platform_.alerts->runModal(offering::chatListFailedAlert(*listing.failure));
        return;
    }
    const QList<OfferCandidate>& chats = listing.chats;
    if (chats.isEmpty()) {
        platform_.alerts->runModal(offering::noChatsAlert());
        return;
    }
    const AlertResponse response = platform_.alerts->runModal(offering::chatChoice(profile, chats));
    if (response.button == firstButton && response.selectedItem >= 0 && response.selectedItem < chats.size())
        run(offering::offerChat(profile, chats[response.selectedItem]));
}

void AppDelegate::openCloudLogin() {
    const QString subcommand =
        cloudLogin::subcommandFor(platform_.alerts->runModal(cloudLogin::choiceAlert()).button);
    if (!subcommand.isEmpty())
        openInteractiveCloudCommand(subcommand);
}

// A new terminal window runs the controller's interactive subcommand.
void AppDelegate::openInteractiveCloudCommand(const QString& subcommand) {
    const QStringList argv =
        cloudLogin::terminalWindowCommand(cloudLogin::commandLine(controller(), subcommand));
    // Not waited for: the next cloud refresh shows what the user did there.
    if (const std::optional<QString> error = startDetached(argv))
        platform_.alerts->runModal(cloudLogin::launchFailedAlert(*error));
}

} // namespace veldrin
