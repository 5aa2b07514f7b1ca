#pragma once

// The narrow interfaces through which AppDelegate reaches everything the user
// sees or the operating system does. Each has a real implementation (qt/ for
// the Qt Core ones, gui/ for the widgets) and a small fake in the tests.

#include "platform/Alerts.h"
#include "platform/BackgroundWork.h"
#include "platform/Clock.h"
#include "platform/LogWindow.h"
#include "platform/Sleeper.h"
#include "platform/StatusItem.h"
#include "platform/Workspace.h"

#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <memory>

namespace veldrin {

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
    std::unique_ptr<LogWindows> logWindows;
    std::unique_ptr<Defaults> defaults;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<Scheduler> scheduler;
    std::unique_ptr<Activities> activities;
    std::unique_ptr<BundleInfo> bundleInfo;
    std::unique_ptr<BackgroundWork> work;
    std::unique_ptr<Alerts> alerts;
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<Sleeper> sleeper;
};

} // namespace veldrin
