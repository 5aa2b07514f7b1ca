#include "support/Fakes.h"

#include "platform/qt/CoreServices.h"
#include "platform/qt/ThreadedWork.h"

#include <QThread>

#include <utility>

namespace veldrin::test {

namespace {

// A fake of one interface, recording into the platform.
template <class Interface> struct Fake : Interface {
    explicit Fake(FakePlatform& platform) : p(platform) {}
    FakePlatform& p;
};

struct StatusBarFake : Fake<StatusBar> {
    using Fake::Fake;
    std::unique_ptr<StatusItem> createStatusItem() override {
        p.events << "statusItem";
        auto item = std::make_unique<FakeStatusItem>(p.events);
        p.statusItem = item.get();
        return item;
    }
};

struct LogWindowsFake : Fake<LogWindows> {
    using Fake::Fake;
    std::shared_ptr<LogWindow> create(const QString& title) override {
        return p.windows.emplace_back(std::make_shared<FakeLogWindow>(title));
    }
};

struct DefaultsFake : Fake<Defaults> {
    using Fake::Fake;
    bool boolForKey(const QString& key) const override {
        p.events << "read:" + key;
        return p.defaults.contains(key) && p.defaults.at(key);
    }
    std::optional<QString> setBool(const QString& key, bool value) override {
        p.events << "write:" + key + (value ? "=true" : "=false");
        p.defaults[key] = value; // kept for the run, stored or not
        return p.defaultsWriteProblem;
    }
};

struct ClockFake : Fake<Clock> {
    using Fake::Fake;
    TimePoint now() const override { return p.now; }
    Instant monotonicNow() const override { return p.monotonicNow; }
};

struct SchedulerFake : Fake<Scheduler> {
    using Fake::Fake;
    struct FixedTimer : RepeatingTimer {
        explicit FixedTimer(std::chrono::milliseconds p) : period(p) {}
        std::chrono::milliseconds interval() const override { return period; }
        std::chrono::milliseconds period;
    };
    std::unique_ptr<RepeatingTimer> scheduleRepeating(std::chrono::milliseconds period,
                                                      std::function<void()>) override {
        p.events << "repeat:" + QString::number(period.count());
        return std::make_unique<FixedTimer>(period);
    }
    void after(std::chrono::milliseconds delay, std::function<void()> call) override {
        p.events << "after:" + QString::number(delay.count());
        p.delayed.emplace_back(delay, std::move(call));
    }
};

struct ActivitiesFake : Fake<Activities> {
    using Fake::Fake;
    ActivityGrant begin(ActivityOption option, const QString& reason) override {
        const bool display = option == ActivityOption::idleDisplaySleepDisabled;
        p.events << QStringLiteral("begin:") + (display ? "display:" : "system:") + reason;
        p.heldActivities.push_back(++next);
        return {ActivityToken{next}, display ? p.activityRefusal : std::nullopt};
    }
    void end(ActivityToken token) override {
        p.events << "end:" + QString::number(token.id);
        std::erase(p.heldActivities, token.id);
    }
    std::uint64_t next = 0;
};

struct AlertsFake : Fake<Alerts> {
    using Fake::Fake;
    AlertResponse runModal(const AlertRequest& request) override {
        p.alerts.push_back(request);
        if (p.whileAlertShows) {
            const bool outer = std::exchange(open, true);
            std::exchange(p.whileAlertShows, nullptr)();
            open = outer;
        }
        if (p.alertAnswers.empty())
            return {};
        const AlertResponse answer = p.alertAnswers.front();
        p.alertAnswers.pop_front();
        return answer;
    }
    void beep() override { p.events << "beep"; }
    bool raiseOpenAlert() override {
        if (open)
            p.events << "raiseAlert";
        return open;
    }
    bool alertOpen() const override { return open; }
    bool open = false;
};

struct WorkspaceFake : Fake<Workspace> {
    using Fake::Fake;
    void terminateApplications(const QStringList& ids) override { p.terminateRequests.append(ids); }
    void openFolder(const QString& path, FolderOpened done) override {
        p.events << "openFolder:" + path;
        done(std::nullopt);
    }
};

struct NotificationsFake : Fake<Notifications> {
    using Fake::Fake;
    void notify(const Notification& n, std::function<void()> activate) override {
        p.notifications.push_back({n, std::move(activate)});
    }
};

struct InstantSleeper : Fake<Sleeper> {
    using Fake::Fake;
    bool sleep(std::chrono::milliseconds duration, const StopToken& stop) override {
        {
            QMutexLocker lock(&p.sleepMutex);
            p.sleptMs.append(duration.count());
        }
        if (p.sleepScale > 0)
            QThread::msleep(static_cast<unsigned long>(duration.count() * p.sleepScale));
        return !stop.stopRequested();
    }
};

} // namespace

Platform FakePlatform::make() {
    return {.statusBar = std::make_unique<StatusBarFake>(*this),
            .logWindows = std::make_unique<LogWindowsFake>(*this),
            .defaults = std::make_unique<DefaultsFake>(*this),
            .clock = std::make_unique<ClockFake>(*this),
            .scheduler = std::make_unique<SchedulerFake>(*this),
            .activities = std::make_unique<ActivitiesFake>(*this),
            .bundleInfo = makeBundleInfo(),
            .work = std::make_unique<ThreadedWork>(),
            .alerts = std::make_unique<AlertsFake>(*this),
            .workspace = std::make_unique<WorkspaceFake>(*this),
            .notifications = std::make_unique<NotificationsFake>(*this),
            .sleeper = std::make_unique<InstantSleeper>(*this)};
}

} // namespace veldrin::test
