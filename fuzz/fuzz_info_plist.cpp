// Info.plist contents, XML or binary, however hostile: a build comes back
// (possibly "0"), and no input may crash the reader or libplist behind it.
#include "FuzzCheck.h"
#include "plist/InfoPlist.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const QString build =
        veldrin::buildFromInfoPlist(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    FUZZ_CHECK(!build.isNull());
    return 0;
}
