#include "platform/System.h"

#include <locale.h>
#if __has_include(<xlocale.h>)
#include <xlocale.h> // newlocale and uselocale on macOS
#endif

namespace veldrin {

CNumericLocale::CNumericLocale() : c_(newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr))) {
    if (c_)
        previous_ = uselocale(static_cast<locale_t>(c_));
}

CNumericLocale::~CNumericLocale() {
    if (c_) {
        uselocale(static_cast<locale_t>(previous_));
        freelocale(static_cast<locale_t>(c_));
    }
}

} // namespace veldrin
