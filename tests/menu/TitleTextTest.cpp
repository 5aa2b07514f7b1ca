// Untrusted text in menu titles: one line, literal, unable to reorder the rest.
#include "menu/TitleText.h"

#include <gtest/gtest.h>

using namespace veldrin;

TEST(TitleText, UntrustedTextStaysOnOneLineAndCannotReorderItsSurroundings) {
    const struct {
        QString in;
        QString out;
    } cases[] = {
        {"27", "27"},
        {"a & <b>b</b>", "a & <b>b</b>"}, // literal: nothing here is markup
        {"line\nbreak\r\ttab\u0085nel\u2028ls", "line break  tab nel ls"},
        // Right-to-left text is isolated as it stands.
        {"\u05E9\u05DC\u05D5\u05DD 27", "\u2068\u05E9\u05DC\u05D5\u05DD 27\u2069"},
        // An override left open is closed inside the isolate.
        {"\u202Eevil", "\u2068\u202Eevil\u202C\u2069"},
        // A stray terminator could end our isolate early: it goes.
        {"x\u2069\u202Ey", "\u2068x\u202Ey\u202C\u2069"},
        {"a\u202Cb", "ab"},
        {"\u2067in\u2069 out", "\u2068\u2067in\u2069 out\u2069"},
        {"\u202Babc\u2069def", "\u2068\u202Babcdef\u202C\u2069"}, // a stray PDI closes no embedding
        {"\U0001E900\U0001E901 (2)", "\u2068\U0001E900\U0001E901 (2)\u2069"}, // Adlam, beyond U+FFFF
    };
    for (const auto& c : cases)
        EXPECT_EQ(untrustedText(c.in), c.out) << c.in.toStdString();
}

TEST(TitleText, LongTitlesAreCutAtTwoHundredCharactersNeverInsideOne) {
    EXPECT_EQ(menuTitle(QString(200, 'x')), QString(200, 'x'));
    EXPECT_EQ(menuTitle(QString(201, 'x')), QString(199, 'x') + "…");

    // Family emoji: one character made of seven code points.
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466");
    QString emoji;
    for (int i = 0; i < 150; ++i)
        emoji += family;
    EXPECT_EQ(menuTitle(emoji), emoji); // 150 characters, though 1650 code units
    emoji += emoji;
    EXPECT_EQ(menuTitle(emoji), emoji.left(199 * family.size()) + "…");

    // A cut inside an isolate closes it before the ellipsis.
    const QString isolated = "Build " + untrustedText(QString(300, QChar(0x05D0)));
    const QString cut = menuTitle(isolated);
    EXPECT_EQ(cut, isolated.left(199) + QChar(0x2069) + "…");
    EXPECT_EQ(menuTitle("a\nb"), "a b");
}
