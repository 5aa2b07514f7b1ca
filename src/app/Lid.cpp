#include "app/AppDelegate.h"

#include "power/Lid.h"

#include <QPointer>

namespace veldrin {

// Only a setting Veldrin turned on gets the assertion; a setting found off
// ends it and forgets that Veldrin turned it on.
void AppDelegate::applyLidKeepAwakeState(std::optional<bool> value) {
    lid.lidKeepAwakeEnabled = value;
    if (value != true) {
        if (lid.lidSystemActivity) {
            platform_.activities->end(*lid.lidSystemActivity);
            lid.lidSystemActivity.reset();
        }
        // Stored only when it changes: a reading comes every 15 s, and each
        // store rewrites and syncs the settings file.
        if (platform_.defaults->boolForKey(lid.lidKeepAwakeManagedKey))
            platform_.defaults->setBool(lid.lidKeepAwakeManagedKey, false);
        return;
    }
    if (!lid.lidSystemActivity && platform_.defaults->boolForKey(lid.lidKeepAwakeManagedKey))
        lid.lidSystemActivity = platform_.activities->begin(idleSystemSleepDisabled, lidActivityReason);
}

void AppDelegate::refreshLidKeepAwake(bool force) {
    if (lid.lidKeepAwakeChanging)
        return;
    const TimePoint now = platform_.clock->now();
    if (!force && secondsBetween(lid.lastLidKeepAwakeRefresh, now) < 15.0)
        return;
    lid.lastLidKeepAwakeRefresh = now;
    ++lid.lidReadingsInFlight;
    const QPointer<AppDelegate> self(this);
    platform_.work->start(
        [self, argv = lidReadingCommand(), bound = limits.lid](const StopToken& stop) mutable {
            const LidReading reading = lidReading(shell(argv, bound, stop));
            return BackgroundWork::HandBack([self = std::move(self), reading] {
                if (!self)
                    return;
                --self->lid.lidReadingsInFlight;
                // Readings apply in the order they come back; one that finds no
                // value keeps the last one and says why.
                if (reading.value)
                    self->applyLidKeepAwakeState(reading.value);
                self->lid.lidKeepAwakeError = reading.error;
            });
        });
}

void AppDelegate::toggleLidKeepAwake() {
    if (!lid.lidKeepAwakeEnabled || lid.lidKeepAwakeChanging)
        return;
    const bool desired = !*lid.lidKeepAwakeEnabled;
    if (desired && !confirmed(*platform_.alerts, lidAlerts::turnOnConfirmation()))
        return;
    lid.lidKeepAwakeChanging = true;
    lid.lidKeepAwakeError.reset();
    const QPointer<AppDelegate> self(this);
    platform_.work->start([self, desired, bound = limits.lid](const StopToken& stop) mutable {
        // The change's own status decides nothing: the reading after it does.
        const ShellResult change = shell(lidChangingCommand(desired), bound, stop);
        const ShellResult reading = shell(lidReadingCommand(), bound, stop);
        return BackgroundWork::HandBack([self = std::move(self), desired, change, reading] {
            if (self)
                self->finishLidChange(desired, change, reading);
        });
    });
}

void AppDelegate::finishLidChange(bool desired, const ShellResult& change, const ShellResult& reading) {
    lid.lidKeepAwakeChanging = false;
    lid.lastLidKeepAwakeRefresh = platform_.clock->now();
    const std::optional<bool> verified = lidReading(reading).value;
    if (verified == desired) {
        // Stored first, so that turning on begins the assertion and turning off ends it.
        platform_.defaults->setBool(lid.lidKeepAwakeManagedKey, desired);
        applyLidKeepAwakeState(verified);
        lid.lidKeepAwakeError.reset();
        return;
    }
    if (verified)
        applyLidKeepAwakeState(verified); // the menu shows what the system reports
    const QString detail = lidFailureDetail(change, reading);
    lid.lidKeepAwakeError = detail;
    platform_.alerts->runModal(lidAlerts::changeFailed(detail));
}

} // namespace veldrin
