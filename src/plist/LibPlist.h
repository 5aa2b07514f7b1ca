#pragma once

// What the property-list code needs around libplist.

#include <plist/plist.h>

#include "platform/System.h" // CNumericLocale

#include <memory>

namespace veldrin {

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

} // namespace veldrin
