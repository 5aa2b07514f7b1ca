// The application's own Info.plist values on macOS, read through CoreFoundation.
#include "platform/qt/CoreServices.h"

#include "platform/BundleInfo.h"

#include <CoreFoundation/CoreFoundation.h>

#include <memory>

namespace veldrin {

namespace {

class MainBundleInfo : public BundleInfo {
public:
    QVariant infoValue(const QString& key) const override {
        CFBundleRef bundle = CFBundleGetMainBundle();
        if (!bundle)
            return {};
        CFStringRef cfKey = key.toCFString();
        // The Get rule: the value belongs to the bundle and is not released here.
        CFTypeRef value = CFBundleGetValueForInfoDictionaryKey(bundle, cfKey);
        CFRelease(cfKey);
        if (!value || CFGetTypeID(value) != CFStringGetTypeID())
            return {};
        return QString::fromCFString(static_cast<CFStringRef>(value));
    }
};

} // namespace

std::unique_ptr<BundleInfo> makeBundleInfo() {
    return std::make_unique<MainBundleInfo>();
}

} // namespace veldrin
