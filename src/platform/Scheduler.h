#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace veldrin {

class RepeatingTimer {
public:
    virtual ~RepeatingTimer() = default;
    virtual std::chrono::milliseconds interval() const = 0;
};

// Timers and delayed calls on the main thread.
class Scheduler {
public:
    virtual ~Scheduler() = default;
    // Fires first one full period from now, then every period, until the
    // returned timer is destroyed.
    virtual std::unique_ptr<RepeatingTimer> scheduleRepeating(std::chrono::milliseconds period,
                                                              std::function<void()> tick) = 0;
    virtual void after(std::chrono::milliseconds delay, std::function<void()> call) = 0;
};

} // namespace veldrin
