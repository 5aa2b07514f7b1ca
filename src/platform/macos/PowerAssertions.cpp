// Activities as IOKit power assertions, released by their identifiers.
#include "platform/Platform.h"

#include <IOKit/pwr_mgt/IOPMLib.h>

#include <cstdio>
#include <map>
#include <vector>

namespace veldrin {

namespace {

constexpr std::uint64_t idleDisplay = std::uint64_t(1) << 40;
constexpr std::uint64_t idleSystem = std::uint64_t(1) << 20;

class PowerAssertions : public Activities {
public:
    ActivityToken begin(std::uint64_t options, const QString& reason) override {
        std::vector<IOPMAssertionID> ids;
        if (options & idleDisplay)
            assertion(kIOPMAssertionTypePreventUserIdleDisplaySleep, reason, ids);
        if (options & idleSystem)
            assertion(kIOPMAssertionTypePreventUserIdleSystemSleep, reason, ids);
        const ActivityToken token{++next_};
        held_[token.id] = ids;
        return token;
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
    static void assertion(CFStringRef type, const QString& reason, std::vector<IOPMAssertionID>& ids) {
        CFStringRef name = reason.toCFString();
        IOPMAssertionID id = kIOPMNullAssertionID;
        const IOReturn result = IOPMAssertionCreateWithName(type, kIOPMAssertionLevelOn, name, &id);
        CFRelease(name);
        if (result == kIOReturnSuccess)
            ids.push_back(id);
        else
            std::fprintf(stderr, "veldrin: the system did not accept a power assertion (IOKit error 0x%x)\n",
                         static_cast<unsigned>(result));
    }

    std::map<std::uint64_t, std::vector<IOPMAssertionID>> held_;
    std::uint64_t next_ = 0;
};

} // namespace

std::unique_ptr<Activities> makePowerAssertions() {
    return std::make_unique<PowerAssertions>();
}

} // namespace veldrin
