// claude sync output: the status is one of the three forms, on one line when
// the count is copied from a single line.
#include "FuzzCheck.h"
#include "bridge/ClaudeBridge.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const QString output = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString status = veldrin::claudeBridge::outcome(0, output, QStringLiteral("12:00"));
    FUZZ_CHECK(status == QLatin1String("paused") ||
               (status.startsWith(QStringLiteral("synced at 12:00 · ")) &&
                status.endsWith(QStringLiteral(" updated"))));
    FUZZ_CHECK(!status.contains(QLatin1Char('\n')));
    FUZZ_CHECK(veldrin::claudeBridge::outcome(1, output, QStringLiteral("12:00"))
                   .startsWith(QStringLiteral("failed at 12:00")));
    return 0;
}
