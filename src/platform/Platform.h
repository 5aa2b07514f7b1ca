#pragma once

// The narrow interfaces through which AppDelegate reaches everything the user
// sees or the operating system does. Each has a Qt implementation (qt/) and a
// small fake in the tests.

#include <QColor>
#include <QString>
#include <QVariant>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QMenu;

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

// The icon in the status bar. `hasButton` is false where the platform gives an
// item nothing to draw into; the steps that need it are then skipped.
class StatusItem {
public:
    virtual ~StatusItem() = default;
    virtual bool hasButton() const = 0;
    virtual void setToolTip(const QString& text) = 0;
    // Shows the one indicator symbol, tinted.
    virtual void setIndicator(const QColor& tint) = 0;
    // Takes ownership of the menu shown when the item is clicked.
    virtual void setMenu(std::unique_ptr<QMenu> menu) = 0;
    virtual QMenu* menu() const = 0;
};

class StatusBar {
public:
    virtual ~StatusBar() = default;
    virtual std::unique_ptr<StatusItem> createStatusItem() = 0;
};

// The user's defaults database: only Booleans are stored; a missing key reads false.
class Defaults {
public:
    virtual ~Defaults() = default;
    virtual bool boolForKey(const QString& key) const = 0;
    virtual void setBool(const QString& key, bool value) = 0;
};

class RepeatingTimer {
public:
    virtual ~RepeatingTimer() = default;
    virtual double interval() const = 0;
};

// Timers and delayed calls on the main thread.
class Scheduler {
public:
    virtual ~Scheduler() = default;
    // Fires first one full period from now, then every period, until the
    // returned timer is destroyed.
    virtual std::unique_ptr<RepeatingTimer> scheduleRepeating(double seconds, std::function<void()> tick) = 0;
    virtual void after(double seconds, std::function<void()> call) = 0;
};

// Power assertions ("activities"): held from begin until end.
struct ActivityToken {
    std::uint64_t id = 0;
    friend bool operator==(const ActivityToken&, const ActivityToken&) = default;
};

class Activities {
public:
    virtual ~Activities() = default;
    // The option bits are the macOS ones (idle display sleep 1<<40, idle system sleep 1<<20).
    virtual ActivityToken begin(std::uint64_t options, const QString& reason) = 0;
    virtual void end(ActivityToken token) = 0;
};

// The application's own version information (bundle keys on macOS, values
// compiled in elsewhere). Answers an empty QVariant for a missing key.
class BundleInfo {
public:
    virtual ~BundleInfo() = default;
    virtual QVariant infoValue(const QString& key) const = 0;
};

struct Platform {
    std::unique_ptr<StatusBar> statusBar;
    std::unique_ptr<Defaults> defaults;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<Scheduler> scheduler;
    std::unique_ptr<Activities> activities;
    std::unique_ptr<BundleInfo> bundleInfo;
};

} // namespace veldrin
