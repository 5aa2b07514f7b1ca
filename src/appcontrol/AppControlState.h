#pragma once

namespace veldrin {

struct AppControlState {
    // True from a confirmed operation's start of the stop sequence until its
    // completion has run.
    bool isQuittingApps = false;
};

} // namespace veldrin
