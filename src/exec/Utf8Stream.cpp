#include "exec/Utf8Stream.h"

#include <cstdint>

namespace veldrin {

namespace {

constexpr char16_t replacement = 0xFFFD;

// How many continuation bytes a lead byte announces, and the range its first
// continuation byte must fall in. The narrowed ranges after E0, ED, F0 and F4
// are what rule out overlong forms, UTF-16 surrogates and code points past
// U+10FFFF as soon as the second byte arrives.
struct Lead {
    int continuations; // -1: never valid as a lead
    std::uint8_t low;
    std::uint8_t high;
};

Lead leadOf(std::uint8_t b) {
    if (b >= 0xC2 && b <= 0xDF)
        return {1, 0x80, 0xBF};
    if (b == 0xE0)
        return {2, 0xA0, 0xBF};
    if (b == 0xED)
        return {2, 0x80, 0x9F};
    if (b >= 0xE1 && b <= 0xEF)
        return {2, 0x80, 0xBF};
    if (b == 0xF0)
        return {3, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3)
        return {3, 0x80, 0xBF};
    if (b == 0xF4)
        return {3, 0x80, 0x8F};
    return {-1, 0, 0};
}

// Decodes `in` into `out` (which has room for one code unit per byte, the most
// UTF-8 can need). Each maximal invalid subsequence becomes one U+FFFD, so a
// bad byte never takes the valid text after it along. Returns how many bytes
// at the end form an incomplete but so far valid sequence; those are left for
// the caller to carry.
qsizetype decode(const std::uint8_t* in, qsizetype n, char16_t*& out) {
    qsizetype i = 0;
    while (i < n) {
        const std::uint8_t b = in[i];
        if (b < 0x80) {
            *out++ = b;
            ++i;
            continue;
        }
        const Lead lead = leadOf(b);
        if (lead.continuations < 0) {
            *out++ = replacement;
            ++i;
            continue;
        }
        char32_t cp = b & (0x3F >> lead.continuations);
        int k = 1;
        bool broken = false;
        for (; k <= lead.continuations; ++k) {
            if (i + k >= n)
                return n - i;
            const std::uint8_t c = in[i + k];
            const bool ok = k == 1 ? (c >= lead.low && c <= lead.high) : (c >= 0x80 && c <= 0xBF);
            if (!ok) {
                broken = true;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        if (broken) {
            *out++ = replacement;
            i += k;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *out++ = char16_t(0xD800 + (cp >> 10));
            *out++ = char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            *out++ = char16_t(cp);
        }
        i += lead.continuations + 1;
    }
    return 0;
}

} // namespace

QString Utf8StreamDecoder::feed(QByteArrayView bytes) {
    QByteArrayView input = bytes;
    QByteArray joined;
    if (!carry_.isEmpty()) {
        joined.reserve(carry_.size() + bytes.size());
        joined.append(carry_).append(bytes);
        input = joined;
    }
    QString result(input.size(), Qt::Uninitialized);
    char16_t* begin = reinterpret_cast<char16_t*>(result.data());
    char16_t* out = begin;
    const qsizetype left = decode(reinterpret_cast<const std::uint8_t*>(input.data()), input.size(), out);
    carry_ = input.sliced(input.size() - left).toByteArray();
    result.truncate(out - begin);
    return result;
}

QString Utf8StreamDecoder::finish() {
    // What is left can only be the start of one character that never ended.
    if (carry_.isEmpty())
        return {};
    carry_.clear();
    return QString(QChar(replacement));
}

} // namespace veldrin
