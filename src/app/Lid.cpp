#include "app/AppDelegate.h"

#include "power/Lid.h"

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
            lid.lidManagedNotStored = platform_.defaults->setBool(lid.lidKeepAwakeManagedKey, false);
        return;
    }
    if (!lid.lidSystemActivity && platform_.defaults->boolForKey(lid.lidKeepAwakeManagedKey))
        lid.lidSystemActivity =
            platform_.activities->begin(ActivityOption::idleSystemSleepDisabled, lidActivityReason).token;
}

void AppDelegate::refreshLidKeepAwake(bool force) {
    if (lid.lidKeepAwakeChanging)
        return;
    const Instant now = platform_.clock->monotonicNow();
    if (!force && !isDue(lid.lastLidKeepAwakeRefresh, now, lidRefreshSpacing))
        return;
    lid.lastLidKeepAwakeRefresh = now;
    ++lid.lidReadingsInFlight;
    inBackground([argv = lidReadingCommand(),
                  bound = limits.lid](const StopToken& stop) { return lidReading(shell(argv, bound, stop)); },
                 &AppDelegate::applyLidReading);
}

// Readings apply in the order they come back; one that finds no value keeps
// the last one and says why.
void AppDelegate::applyLidReading(const LidReading& reading) {
    --lid.lidReadingsInFlight;
    if (reading.value)
        applyLidKeepAwakeState(reading.value);
    lid.lidKeepAwakeError = reading.error;
}

void AppDelegate::toggleLidKeepAwake() {
    if (!lid.lidKeepAwakeEnabled || lid.lidKeepAwakeChanging)
        return;
    const bool desired = !*lid.lidKeepAwakeEnabled;
    if (desired && !confirmed(*platform_.alerts, lidAlerts::turnOnConfirmation()))
        return;
    lid.lidKeepAwakeChanging = true;
    lid.lidKeepAwakeError.reset();
    inBackground(
        [desired, bound = limits.lid](const StopToken& stop) {
            // The change's own status decides nothing: the reading after it does.
            const ShellResult change = shell(lidChangingCommand(desired), bound, stop);
            return std::pair{change, shell(lidReadingCommand(), bound, stop)};
        },
        [desired](AppDelegate& self, const std::pair<ShellResult, ShellResult>& results) {
            self.finishLidChange(desired, results.first, results.second);
        });
}

void AppDelegate::finishLidChange(bool desired, const ShellResult& change, const ShellResult& reading) {
    lid.lidKeepAwakeChanging = false;
    lid.lastLidKeepAwakeRefresh = platform_.clock->monotonicNow();
    const std::optional<bool> verified = lidReading(reading).value;
    if (verified == desired) {
        // Stored first, so that turning on begins the assertion and turning off ends it.
        lid.lidManagedNotStored = platform_.defaults->setBool(lid.lidKeepAwakeManagedKey, desired);
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
