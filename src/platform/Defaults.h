#pragma once

#include <QString>

#include <optional>

namespace veldrin {

// The user's defaults database: only Booleans are stored; a missing key reads false.
class Defaults {
public:
    virtual ~Defaults() = default;
    virtual bool boolForKey(const QString& key) const = 0;
    // Stores and writes through at once; answers why the store could not keep
    // the value (a read-only file, a folder in its place), if it could not.
    virtual std::optional<QString> setBool(const QString& key, bool value) = 0;
};

} // namespace veldrin
