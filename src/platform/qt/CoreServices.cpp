#include "platform/qt/CoreServices.h"

#include <QSettings>
#include <QTimer>

#include <cstdio>
#include <poll.h>

namespace veldrin {

namespace {

class SystemClock : public Clock {
public:
    TimePoint now() const override {
        return std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now());
    }
    Instant monotonicNow() const override { return std::chrono::steady_clock::now(); }
};

class SettingsDefaults : public Defaults {
public:
    bool boolForKey(const QString& key) const override {
        const QVariant value = settings_.value(key);
        if (value.typeId() == QMetaType::Bool)
            return value.toBool();
        // Text-based stores hand Booleans back as "true"/"false"; anything
        // else is not a Boolean and reads as false.
        return value.typeId() == QMetaType::QString && value.toString() == QLatin1String("true");
    }
    // A store that cannot be written keeps the value in memory for this run;
    // standard error hears about it once.
    std::optional<QString> setBool(const QString& key, bool value) override {
        settings_.setValue(key, value);
        settings_.sync();
        if (settings_.status() == QSettings::NoError)
            return std::nullopt;
        const QString problem = QStringLiteral("cannot write ") + settings_.fileName();
        if (!warned_) {
            warned_ = true;
            std::fprintf(stderr, "veldrin: %s; settings are kept only until Veldrin quits\n",
                         qUtf8Printable(problem));
        }
        return problem;
    }

private:
    mutable QSettings settings_;
    bool warned_ = false;
};

class QtRepeatingTimer : public RepeatingTimer {
public:
    QtRepeatingTimer(std::chrono::milliseconds period, std::function<void()> tick) {
        timer_.setTimerType(Qt::CoarseTimer);
        timer_.setInterval(period);
        QObject::connect(&timer_, &QTimer::timeout, std::move(tick));
        timer_.start();
    }
    std::chrono::milliseconds interval() const override { return timer_.intervalAsDuration(); }

private:
    QTimer timer_;
};

class QtScheduler : public Scheduler {
public:
    std::unique_ptr<RepeatingTimer> scheduleRepeating(std::chrono::milliseconds period,
                                                      std::function<void()> tick) override {
        return std::make_unique<QtRepeatingTimer>(period, std::move(tick));
    }
    void after(std::chrono::milliseconds delay, std::function<void()> call) override {
        QTimer::singleShot(delay, std::move(call));
    }
};

// Waits on the stop token's descriptor, so a stop request ends the pause at once.
class StoppableSleeper : public Sleeper {
public:
    bool sleep(std::chrono::milliseconds duration, const StopToken& stop) override {
        using Steady = std::chrono::steady_clock;
        const Steady::time_point end = Steady::now() + duration;
        while (!stop.stopRequested()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Steady::now());
            if (left.count() <= 0)
                return true;
            pollfd pfd{stop.fd(), POLLIN, 0};
            // A token without a descriptor is polled every 50 ms.
            const int fdCount = pfd.fd >= 0 ? 1 : 0;
            const auto wait = fdCount ? left : std::min(left, std::chrono::milliseconds(50));
            poll(&pfd, fdCount, static_cast<int>(std::min<long long>(wait.count(), 60'000)));
        }
        return false;
    }
};

} // namespace

std::unique_ptr<Clock> makeSystemClock() {
    return std::make_unique<SystemClock>();
}
std::unique_ptr<Defaults> makeSettingsDefaults() {
    return std::make_unique<SettingsDefaults>();
}
std::unique_ptr<Scheduler> makeMainThreadScheduler() {
    return std::make_unique<QtScheduler>();
}

std::unique_ptr<Sleeper> makeSleeper() {
    return std::make_unique<StoppableSleeper>();
}

} // namespace veldrin
