// cloud list-chats answers: titles never hold a line feed, the pop-up cut
// keeps a prefix that ends on a character boundary, and an answer is a list
// or a reason, never both.
#include "FuzzCheck.h"
#include "cloud/Offering.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const QString output = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const veldrin::ChatListing listing = veldrin::chatListing(QStringLiteral("veldrin"), {0, output});
    FUZZ_CHECK(!listing.failure || listing.chats.isEmpty());
    for (const veldrin::OfferCandidate& chat : listing.chats) {
        FUZZ_CHECK(!chat.name.contains(QLatin1Char('\n')));
        const QString shown = veldrin::chatPopUpTitle(chat.name);
        FUZZ_CHECK(chat.name.startsWith(shown));
        FUZZ_CHECK(shown.isEmpty() || !shown.back().isHighSurrogate());
    }
    // Any other status lists nothing and says why.
    const veldrin::ChatListing failed = veldrin::chatListing(QStringLiteral("veldrin"), {1, output});
    FUZZ_CHECK(failed.chats.isEmpty() && failed.failure && !failed.failure->isEmpty());
    return 0;
}
