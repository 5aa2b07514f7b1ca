#pragma once

// Power assertions ("activities"): held from begin until end.

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace veldrin {

// What an activity keeps from happening while it is held.
enum class ActivityOption {
    idleDisplaySleepDisabled, // the display stays awake (and so does not lock)
    idleSystemSleepDisabled,  // the system does not go to sleep for being idle
};

struct ActivityToken {
    std::uint64_t id = 0;
    friend bool operator==(const ActivityToken&, const ActivityToken&) = default;
};

// A begun activity. Where the system did not take it, the token is still
// handed out (the setting follows the user's choice) and `refused` says why,
// on one line.
struct ActivityGrant {
    ActivityToken token;
    std::optional<QString> refused;
};

class Activities {
public:
    virtual ~Activities() = default;
    virtual ActivityGrant begin(ActivityOption option, const QString& reason) = 0;
    virtual void end(ActivityToken token) = 0;
};

// The system's own: power assertions on macOS (platform/macos), the
// freedesktop inhibitors on Linux (platform/linux/DBusActivities.h).
std::unique_ptr<Activities> makeSystemActivities();

} // namespace veldrin
