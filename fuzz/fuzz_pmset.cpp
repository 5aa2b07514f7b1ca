// pmset -g listings: a value is read only from a SleepDisabled line ending
// in exactly 0 or 1.
#include "FuzzCheck.h"
#include "power/Lid.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const QString listing = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<bool> value = veldrin::parseSleepDisabled(listing);
    if (value)
        FUZZ_CHECK(listing.contains(*value ? QLatin1Char('1') : QLatin1Char('0')));
    return 0;
}
