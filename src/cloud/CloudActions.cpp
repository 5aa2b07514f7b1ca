#include "app/AppDelegate.h"

namespace veldrin {

// Cloud status refresh: runs `cloud status` on a background thread and hands
// the parsed model back to the main thread, at most every 30 seconds unless
// forced. Not built yet: it starts nothing, so cloudRefreshing stays false.
void AppDelegate::refreshCloudStatus(bool force) { Q_UNUSED(force); }

// Cloud menu actions (status window, cycle, per-profile mode, offering
// projects and chats, login in a terminal). Not built yet; they do nothing.
void AppDelegate::showCloudStatus() {}
void AppDelegate::runCloudCycleNow() {}
void AppDelegate::openCloudLogin() {}
void AppDelegate::setCloudMode(const QVariant& representedObject) { Q_UNUSED(representedObject); }
void AppDelegate::offerCloudProject(const QVariant& representedObject) { Q_UNUSED(representedObject); }
void AppDelegate::offerCloudChat(const QVariant& representedObject) { Q_UNUSED(representedObject); }

} // namespace veldrin
