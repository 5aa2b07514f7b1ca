#include "app/AppDelegate.h"

namespace veldrin {

// The maintenance jobs stop the three apps first (polite quit, TERM, KILL) and
// then hand the job to the controller. Not built yet: until the stop sequence
// exists these actions do nothing.
void AppDelegate::quitAllChatGPTProcesses() {}
void AppDelegate::updateAllApps() {}
void AppDelegate::repairPrimary() {}
void AppDelegate::repairAlt() {}
void AppDelegate::repairTri() {}
void AppDelegate::fixUnreadableChats() {}
void AppDelegate::resolveRolloutConflicts() {}

} // namespace veldrin
