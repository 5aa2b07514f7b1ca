// Activities as IOKit power assertions, released by their identifiers.
#include "platform/Activities.h"

#include <IOKit/pwr_mgt/IOPMLib.h>

#include <cstdio>
#include <map>
#include <optional>
#include <vector>

namespace veldrin {

namespace {

class PowerAssertions : public Activities {
public:
    ActivityGrant begin(ActivityOption option, const QString& reason) override {
        std::vector<IOPMAssertionID> ids;
        const std::optional<QString> refused = assertion(option == ActivityOption::idleDisplaySleepDisabled
                                                             ? kIOPMAssertionTypePreventUserIdleDisplaySleep
                                                             : kIOPMAssertionTypePreventUserIdleSystemSleep,
                                                         reason, ids);
        const ActivityToken token{++next_};
        held_[token.id] = ids;
        return {token, refused};
    }

    void end(ActivityToken token) override {
        const auto it = held_.find(token.id);
        if (it == held_.end())
            return;
        for (const IOPMAssertionID id : it->second)
            IOPMAssertionRelease(id);
        held_.erase(it);
    }

private:
    static std::optional<QString> assertion(CFStringRef type, const QString& reason,
                                            std::vector<IOPMAssertionID>& ids) {
        CFStringRef name = reason.toCFString();
        IOPMAssertionID id = kIOPMNullAssertionID;
        const IOReturn result = IOPMAssertionCreateWithName(type, kIOPMAssertionLevelOn, name, &id);
        CFRelease(name);
        if (result == kIOReturnSuccess) {
            ids.push_back(id);
            return std::nullopt;
        }
        const QString why = QStringLiteral("IOKit error 0x") + QString::number(uint(result), 16);
        std::fprintf(stderr, "veldrin: the system did not accept a power assertion (%s)\n",
                     qUtf8Printable(why));
        return why;
    }

    std::map<std::uint64_t, std::vector<IOPMAssertionID>> held_;
    std::uint64_t next_ = 0;
};

} // namespace

std::unique_ptr<Activities> makePowerAssertions() {
    return std::make_unique<PowerAssertions>();
}

} // namespace veldrin
