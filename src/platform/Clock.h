#pragma once

#include <chrono>
#include <optional>

namespace veldrin {

// Wall-clock instants at millisecond resolution, for what the user reads ("synced at 09:05").
using TimePoint = std::chrono::time_point<std::chrono::system_clock, std::chrono::milliseconds>;
// Monotonic instants, for spacing checks: the wall clock may jump.
using Instant = std::chrono::steady_clock::time_point;

class Clock {
public:
    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;
    virtual Instant monotonicNow() const = 0;
};

// True when nothing happened yet, or the last time is at least `spacing` ago.
inline bool isDue(const std::optional<Instant>& last, Instant now, std::chrono::milliseconds spacing) {
    return !last || now - *last >= spacing;
}

} // namespace veldrin
