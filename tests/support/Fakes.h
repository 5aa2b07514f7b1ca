#pragma once

// Fakes for the platform effects: status item, defaults, clock, timers,
// activities and the application's own version information. They append what
// happens to one shared event log so tests can check order.

#include "platform/Platform.h"

#include <QMenu>
#include <QStringList>

#include <map>
#include <memory>
#include <vector>

namespace veldrin::test {

struct EventLog {
    QStringList events;
};

class FakeStatusItem : public StatusItem {
public:
    explicit FakeStatusItem(std::shared_ptr<EventLog> log, bool button = true) : log_(std::move(log)), button_(button) {}
    bool hasButton() const override { return button_; }
    void setToolTip(const QString& text) override {
        toolTip = text;
        log_->events << QStringLiteral("toolTip:") + text;
    }
    void setIndicator(const QColor& tint) override {
        tints.push_back(tint);
        log_->events << QStringLiteral("indicator");
    }
    void setMenu(std::unique_ptr<QMenu> m) override {
        menu_ = std::move(m);
        log_->events << QStringLiteral("menu");
    }
    QMenu* menu() const override { return menu_.get(); }

    QString toolTip;
    std::vector<QColor> tints;

private:
    std::shared_ptr<EventLog> log_;
    bool button_;
    std::unique_ptr<QMenu> menu_;
};

class FakeStatusBar : public StatusBar {
public:
    explicit FakeStatusBar(std::shared_ptr<EventLog> log, bool button = true) : log_(std::move(log)), button_(button) {}
    std::unique_ptr<StatusItem> createStatusItem() override {
        log_->events << QStringLiteral("statusItem");
        auto item = std::make_unique<FakeStatusItem>(log_, button_);
        created = item.get();
        return item;
    }
    FakeStatusItem* created = nullptr;

private:
    std::shared_ptr<EventLog> log_;
    bool button_;
};

class FakeDefaults : public Defaults {
public:
    explicit FakeDefaults(std::shared_ptr<EventLog> log) : log_(std::move(log)) {}
    bool boolForKey(const QString& key) const override {
        log_->events << QStringLiteral("read:") + key;
        const auto it = values.find(key);
        return it != values.end() && it->second;
    }
    void setBool(const QString& key, bool value) override {
        log_->events << QStringLiteral("write:") + key + (value ? QStringLiteral("=true") : QStringLiteral("=false"));
        values[key] = value;
    }
    std::map<QString, bool> values;

private:
    std::shared_ptr<EventLog> log_;
};

class FakeClock : public Clock {
public:
    TimePoint now() const override { return current; }
    TimePoint current = TimePoint{} + std::chrono::hours(24 * 365 * 56);
};

// Timers that fire only when the test says so. Callbacks stay with the
// scheduler, so a test can fire a tick after the delegate is gone.
class FakeScheduler : public Scheduler {
public:
    struct Repeating {
        double seconds;
        std::function<void()> tick;
    };
    struct Delayed {
        double seconds;
        std::function<void()> call;
    };

    // What was scheduled; shared so that it outlives the delegate that owns the scheduler.
    struct Record {
        std::vector<Repeating> repeating;
        std::vector<Delayed> delayed;
    };

    FakeScheduler(std::shared_ptr<EventLog> log, std::shared_ptr<Record> record)
        : record_(std::move(record)), log_(std::move(log)) {}

    std::unique_ptr<RepeatingTimer> scheduleRepeating(double seconds, std::function<void()> tick) override {
        log_->events << QStringLiteral("repeat:") + QString::number(seconds);
        record_->repeating.push_back({seconds, tick});
        return std::make_unique<Timer>(seconds);
    }
    void after(double seconds, std::function<void()> call) override {
        log_->events << QStringLiteral("after:") + QString::number(seconds);
        record_->delayed.push_back({seconds, call});
    }

private:
    class Timer : public RepeatingTimer {
    public:
        explicit Timer(double s) : s_(s) {}
        double interval() const override { return s_; }

    private:
        double s_;
    };
    std::shared_ptr<Record> record_;
    std::shared_ptr<EventLog> log_;
};

class FakeActivities : public Activities {
public:
    explicit FakeActivities(std::shared_ptr<EventLog> log) : log_(std::move(log)) {}
    ActivityToken begin(std::uint64_t options, const QString& reason) override {
        log_->events << QStringLiteral("begin:") + QString::number(options) + QLatin1Char(':') + reason;
        held.push_back(++next_);
        return ActivityToken{next_};
    }
    void end(ActivityToken token) override {
        log_->events << QStringLiteral("end:") + QString::number(token.id);
        std::erase(held, token.id);
    }
    std::vector<std::uint64_t> held;

private:
    std::shared_ptr<EventLog> log_;
    std::uint64_t next_ = 0;
};

class FakeBundleInfo : public BundleInfo {
public:
    QVariant infoValue(const QString& key) const override {
        const auto it = values.find(key);
        return it == values.end() ? QVariant() : it->second;
    }
    std::map<QString, QVariant> values{{QStringLiteral("CFBundleShortVersionString"), QStringLiteral("2.4.1")},
                                       {QStringLiteral("CFBundleVersion"), QStringLiteral("318")}};
};

template <class Fake, class Slot, class... Args>
Fake* install(std::unique_ptr<Slot>& slot, Args&&... args) {
    auto fake = std::make_unique<Fake>(std::forward<Args>(args)...);
    Fake* raw = fake.get();
    slot = std::move(fake);
    return raw;
}

// A Platform made of fakes, with raw pointers kept for the test to inspect
// (valid while the delegate that owns the platform lives).
struct FakePlatform {
    std::shared_ptr<EventLog> log = std::make_shared<EventLog>();
    std::shared_ptr<FakeScheduler::Record> timers = std::make_shared<FakeScheduler::Record>();
    FakeStatusBar* statusBar = nullptr;
    FakeDefaults* defaults = nullptr;
    FakeClock* clock = nullptr;
    FakeActivities* activities = nullptr;
    FakeBundleInfo* bundleInfo = nullptr;

    Platform make(bool statusButton = true) {
        Platform p;
        statusBar = install<FakeStatusBar>(p.statusBar, log, statusButton);
        defaults = install<FakeDefaults>(p.defaults, log);
        clock = install<FakeClock>(p.clock);
        install<FakeScheduler>(p.scheduler, log, timers);
        activities = install<FakeActivities>(p.activities, log);
        bundleInfo = install<FakeBundleInfo>(p.bundleInfo);
        return p;
    }
};

} // namespace veldrin::test
