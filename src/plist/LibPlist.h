#pragma once

// What the property-list code needs around libplist.

#include <plist/plist.h>

#include <clocale>
#include <memory>
#if defined(__APPLE__)
#include <xlocale.h>
#else
#include <locale.h>
#endif

namespace veldrin {

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

// libplist reads and writes <real> values with the C library's atof and
// printf, which follow the process locale: under a locale with a decimal
// comma "27.5" would read as 27. Within this scope the calling thread alone
// uses the "C" locale for numbers.
class CNumericLocale {
public:
    CNumericLocale() : c_(newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr))) {
        if (c_)
            previous_ = uselocale(c_);
    }
    ~CNumericLocale() {
        if (c_) {
            uselocale(previous_);
            freelocale(c_);
        }
    }
    CNumericLocale(const CNumericLocale&) = delete;
    CNumericLocale& operator=(const CNumericLocale&) = delete;

private:
    locale_t c_;
    locale_t previous_ = static_cast<locale_t>(nullptr);
};

} // namespace veldrin
