// The streaming decoder: nothing lost at the seams between reads.
#include "exec/Utf8Stream.h"

#include <QList>

#include <gtest/gtest.h>

using veldrin::Utf8StreamDecoder;

namespace {

// Feeds every piece, then finishes, and returns everything decoded.
QString decodePieces(const QList<QByteArray>& pieces) {
    Utf8StreamDecoder decoder;
    QString out;
    for (const QByteArray& piece : pieces)
        out += decoder.feed(piece);
    return out + decoder.finish();
}

QString decodeByteByByte(const QByteArray& bytes) {
    QList<QByteArray> pieces;
    for (char c : bytes)
        pieces.append(QByteArray(1, c));
    return decodePieces(pieces);
}

} // namespace

// Byte strings are split where a hex escape would swallow the next letter.
// clang-format off
TEST(Utf8Stream, CharacterSplitAtAnyPointComesOutWhole) {
    const QByteArray bytes = "a\xC3\xA9" "b\xE2\x82\xAC" "c\xF0\x9F\x98\x80" "d\xF4\x8F\xBF\xBF";
    const QString expected = QString::fromUtf16(u"a\u00E9b\u20ACc\U0001F600d\U0010FFFF");
    for (qsizetype i = 0; i <= bytes.size(); ++i) {
        for (qsizetype j = i; j <= bytes.size(); ++j) {
            EXPECT_EQ(decodePieces({bytes.first(i), bytes.sliced(i, j - i), bytes.sliced(j)}), expected)
                << "split at " << i << " and " << j;
        }
    }
}

TEST(Utf8Stream, InvalidBytesBecomeReplacementWithoutEatingWhatFollows) {
    const struct {
        const char* name;
        QByteArray bytes;
        const char16_t* expected;
    } cases[] = {
        {"0xFF", "a\xFF" "b", u"a\uFFFDb"},
        {"lone continuation", "x\x80y\xBF\xBFz", u"x\uFFFDy\uFFFD\uFFFDz"},
        {"overlong two-byte slash", "\xC0\xAF/", u"\uFFFD\uFFFD/"},
        {"encoded high surrogate", "\xED\xA0\x80" "ok", u"\uFFFD\uFFFD\uFFFDok"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80!", u"\uFFFD\uFFFD\uFFFD\uFFFD!"},
        {"cut short by a new lead", "\xE2\xE2\x82\xAC", u"\uFFFD\u20AC"},
        {"cut short by the end", "ok \xF0\x9F\x98", u"ok \uFFFD"},
    };
    for (const auto& c : cases) {
        const QString expected = QString::fromUtf16(c.expected);
        EXPECT_EQ(decodePieces({c.bytes}), expected) << c.name;
        EXPECT_EQ(decodeByteByByte(c.bytes), expected) << c.name << " byte by byte";
    }
}
// clang-format on
