// The version and build a Linux build carries: there is no bundle to read
// them from, so the build compiles them in.
#include "platform/qt/CoreServices.h"

#include "platform/BundleInfo.h"

namespace veldrin {

namespace {

class BuildBundleInfo : public BundleInfo {
public:
    QVariant infoValue(const QString& key) const override {
        if (key == QLatin1String("CFBundleShortVersionString"))
            return QStringLiteral(VELDRIN_VERSION);
        if (key == QLatin1String("CFBundleVersion"))
            return QStringLiteral(VELDRIN_BUILD);
        return {};
    }
};

} // namespace

std::unique_ptr<BundleInfo> makeBundleInfo() {
    return std::make_unique<BuildBundleInfo>();
}

} // namespace veldrin
