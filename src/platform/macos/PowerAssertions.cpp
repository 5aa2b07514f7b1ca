// Activities as IOKit power assertions, released by their identifiers.
//
// IOPMLib.h: any process may create an assertion, no privileges needed; its
// name ("the activity being handled", no longer than 128 characters) is what
// `pmset -g assertions` lists. It holds until IOPMAssertionRelease.
#include "platform/Activities.h"

#include <IOKit/pwr_mgt/IOPMLib.h>

#include <cstdio>
#include <map>
#include <memory>
#include <optional>

namespace veldrin {

namespace {

// The two types IOPMLib.h recommends over their older kIOPMAssertionType*
// spellings. PreventUserIdleDisplaySleep: "will prevent the display from
// turning off due to a period of idle user activity" and, while it does, "the
// system cannot go into idle sleep" either. PreventUserIdleSystemSleep: the
// display "may dim and idle sleep" but the system does not; it "may still sleep
// for lid close", which is why the lid switch also needs pmset's disablesleep.
CFStringRef assertionType(ActivityOption option) {
    return option == ActivityOption::idleDisplaySleepDisabled ? kIOPMAssertPreventUserIdleDisplaySleep
                                                              : kIOPMAssertPreventUserIdleSystemSleep;
}

class PowerAssertions : public Activities {
public:
    ActivityGrant begin(ActivityOption option, const QString& reason) override {
        const ActivityToken token{++next_};
        CFStringRef name = reason.toCFString();
        IOPMAssertionID id = kIOPMNullAssertionID;
        const IOReturn result =
            IOPMAssertionCreateWithName(assertionType(option), kIOPMAssertionLevelOn, name, &id);
        CFRelease(name);
        if (result == kIOReturnSuccess) {
            held_[token.id] = id;
            return {token, std::nullopt};
        }
        // The token is handed out all the same: the switch follows the user's
        // choice and its status line says why the system did not.
        const QString why = QStringLiteral("IOKit error 0x") + QString::number(uint(result), 16);
        std::fprintf(stderr, "veldrin: the system did not accept a power assertion (%s)\n",
                     qUtf8Printable(why));
        return {token, why};
    }

    void end(ActivityToken token) override {
        const auto it = held_.find(token.id);
        if (it == held_.end())
            return;
        IOPMAssertionRelease(it->second);
        held_.erase(it);
    }

private:
    std::map<std::uint64_t, IOPMAssertionID> held_;
    std::uint64_t next_ = 0;
};

} // namespace

std::unique_ptr<Activities> makeSystemActivities() {
    return std::make_unique<PowerAssertions>();
}

} // namespace veldrin
