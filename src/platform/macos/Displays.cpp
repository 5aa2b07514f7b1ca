#include "platform/Displays.h"

namespace veldrin {

// The window server is the one display; Qt's cocoa platform needs nothing
// named in the environment, and nothing to choose between.
std::vector<DisplayTry> probeDisplays() {
    return {};
}

QStringList displayPlatforms() {
    return {};
}

} // namespace veldrin
