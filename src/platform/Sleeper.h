#pragma once

// Pauses of background work, so that tests can take them instantly.

#include "platform/StopToken.h"

#include <chrono>

namespace veldrin {

class Sleeper {
public:
    virtual ~Sleeper() = default;
    // Any thread. Answers false, early, once stop has been requested.
    virtual bool sleep(std::chrono::milliseconds duration, const StopToken& stop) = 0;
};

} // namespace veldrin
