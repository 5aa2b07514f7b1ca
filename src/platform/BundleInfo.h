#pragma once

#include <QString>
#include <QVariant>

namespace veldrin {

// The application's own version information (bundle keys on macOS, values
// compiled in elsewhere). Answers an empty QVariant for a missing key.
class BundleInfo {
public:
    virtual ~BundleInfo() = default;
    virtual QVariant infoValue(const QString& key) const = 0;
};

} // namespace veldrin
