#pragma once

#include <chrono>

namespace veldrin {

// Wall-clock instants at millisecond resolution: wide enough that the distant
// past can sit two thousand years back without overflowing a subtraction.
using TimePoint = std::chrono::time_point<std::chrono::system_clock, std::chrono::milliseconds>;
inline constexpr TimePoint distantPast =
    TimePoint{} - std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::years(2000));

inline double secondsBetween(TimePoint from, TimePoint to) {
    return std::chrono::duration<double>(to - from).count();
}

class Clock {
public:
    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;
};

} // namespace veldrin
