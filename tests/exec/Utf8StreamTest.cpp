#include "exec/Utf8Stream.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <gtest/gtest.h>


using veldrin::Utf8StreamDecoder;

namespace {

QString fromUtf16(const char16_t* text) { return QString::fromUtf16(text); }

// Feeds every piece, then finishes, and returns everything decoded.
QString decodePieces(const QList<QByteArray>& pieces) {
    Utf8StreamDecoder decoder;
    QString out;
    for (const QByteArray& piece : pieces)
        out += decoder.feed(piece);
    out += decoder.finish();
    return out;
}

QString decodeByteByByte(const QByteArray& bytes) {
    QList<QByteArray> pieces;
    for (char c : bytes)
        pieces.append(QByteArray(1, c));
    return decodePieces(pieces);
}

} // namespace

TEST(Utf8Stream, CharacterSplitAtAnyPointComesOutWhole) {
    // Two-, three- and four-byte characters between ASCII.
    const QByteArray bytes = "a\xC3\xA9" "b\xE2\x82\xAC" "c\xF0\x9F\x98\x80" "d\xF4\x8F\xBF\xBF";
    const QString expected = fromUtf16(u"a\u00E9b\u20ACc\U0001F600d\U0010FFFF");
    ASSERT_EQ(QString::fromUtf8(bytes), expected);

    for (qsizetype i = 0; i <= bytes.size(); ++i) {
        Utf8StreamDecoder decoder;
        const QString first = decoder.feed(bytes.first(i));
        EXPECT_FALSE(first.contains(QChar(0xFFFD))) << "split at " << i;
        const QString second = decoder.feed(bytes.sliced(i));
        EXPECT_EQ(first + second + decoder.finish(), expected) << "split at " << i;
        for (qsizetype j = i; j <= bytes.size(); ++j) {
            EXPECT_EQ(decodePieces({bytes.first(i), bytes.sliced(i, j - i), bytes.sliced(j)}), expected)
                << "split at " << i << " and " << j;
        }
    }
    EXPECT_EQ(decodeByteByByte(bytes), expected);
}

TEST(Utf8Stream, InvalidBytesBecomeReplacementWithoutEatingWhatFollows) {
    struct Case {
        const char* name;
        QByteArray bytes;
        const char16_t* expected;
    };
    const QList<Case> cases = {
        {"0xFF", "a\xFF" "b", u"a\uFFFDb"},
        {"lone continuation", "x\x80y\xBF\xBFz", u"x\uFFFDy\uFFFD\uFFFDz"},
        {"overlong two-byte slash", "\xC0\xAF/", u"\uFFFD\uFFFD/"},
        {"overlong three-byte", "\xE0\x80\xAF" "ok", u"\uFFFD\uFFFD\uFFFDok"},
        {"encoded high surrogate", "\xED\xA0\x80" "ok", u"\uFFFD\uFFFD\uFFFDok"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80!", u"\uFFFD\uFFFD\uFFFD\uFFFD!"},
        {"cut short by ASCII", "\xE2\x82" "A\xF0\x9F\x98" "B", u"\uFFFDA\uFFFDB"},
        {"cut short by a new lead", "\xE2\xE2\x82\xAC", u"\uFFFD\u20AC"},
    };
    for (const Case& c : cases) {
        const QString expected = fromUtf16(c.expected);
        Utf8StreamDecoder decoder;
        const QString fed = decoder.feed(c.bytes);
        EXPECT_EQ(fed + decoder.finish(), expected) << c.name;
        // The seams between reads must not change the outcome.
        EXPECT_EQ(decodeByteByByte(c.bytes), expected) << c.name << " byte by byte";
    }
}

TEST(Utf8Stream, TruncatedSequenceAtEndIsReplacedByFinish) {
    Utf8StreamDecoder decoder;
    EXPECT_EQ(decoder.feed("ok \xF0\x9F\x98"), QStringLiteral("ok "));
    EXPECT_EQ(decoder.finish(), fromUtf16(u"\uFFFD"));
    // Finishing empties the carry: the decoder starts clean afterwards.
    EXPECT_TRUE(decoder.finish().isEmpty());
    EXPECT_EQ(decoder.feed("\xC3\xA9"), fromUtf16(u"\u00E9"));
    EXPECT_TRUE(decoder.finish().isEmpty());
}
