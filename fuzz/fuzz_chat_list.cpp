// cloud list-chats answers: titles never hold a line feed, and the pop-up cut
// keeps a prefix that ends on a character boundary.
#include "FuzzCheck.h"
#include "cloud/Offering.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const QString output = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const veldrin::OfferCandidate& chat : veldrin::parseChatList(0, output)) {
        FUZZ_CHECK(!chat.name.contains(QLatin1Char('\n')));
        const QString shown = veldrin::chatPopUpTitle(chat.name);
        FUZZ_CHECK(chat.name.startsWith(shown));
        FUZZ_CHECK(shown.isEmpty() || !shown.back().isHighSurrogate());
    }
    // Any other status lists nothing.
    FUZZ_CHECK(veldrin::parseChatList(1, output).isEmpty());
    return 0;
}
