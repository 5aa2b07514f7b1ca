#include "app/AppDelegate.h"

namespace veldrin {

// The background Claude Code sync: runs `claude sync` off the main thread,
// skipped while a streamed run or another bridge run is active, and condenses
// the outcome into claudeBridgeStatus. Not built yet: it does nothing, so the
// status stays "not run yet".
void AppDelegate::runClaudeBridgeInBackground() {}

} // namespace veldrin
