// Info.plist contents, XML or binary, however hostile: a build comes back
// (possibly "0"), no input may crash or exhaust the reader or libplist behind
// it, and whatever the structural check refuses reads as "0". The corpus holds
// the known attacks: lists that hold themselves, a bomb that would unfold to
// 2^40 objects, offsets and lengths past the data, nesting past 64 levels.
#include "FuzzCheck.h"
#include "plist/InfoPlist.h"
#include "plist/PlistGuard.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const QByteArray contents(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString build = veldrin::buildFromInfoPlist(contents);
    FUZZ_CHECK(!build.isNull());
    // The reader looks past a byte-order mark first.
    const QByteArray checked = contents.startsWith("\xEF\xBB\xBF") ? contents.mid(3) : contents;
    FUZZ_CHECK(veldrin::plistIsSafeToParse(checked) || build == QLatin1String("0"));
    return 0;
}
