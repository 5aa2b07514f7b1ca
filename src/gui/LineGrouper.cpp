#include "gui/LineGrouper.h"

#include <vector>

namespace veldrin {

namespace {

constexpr int linesPerBlock = 8;
// A display piece of a long line, and the size past which a line end always
// starts a new block. The view lays out whole blocks, so following the end
// of a long line lays out as many pieces as fill the screen each turn:
// pieces of 4096 characters made that a stretch of 60 to 110 ms over a
// gigabyte without a line break; at this size it is about a screenful.
constexpr qsizetype pieceChars = 1024;
// A piece ends after a space where one comes within this many characters of
// its size, so that its forced break falls between words, as a wrap would.
constexpr qsizetype pieceSlack = 128;

} // namespace

void LineGrouper::rewrite(const QString& text, std::deque<DisplayPiece>& out) {
    QString result(text.size(), Qt::Uninitialized);
    QChar* const start = result.data();
    QChar* next = start;
    std::vector<qsizetype> cuts; // where a display piece of a long line starts
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (afterCarriageReturn && c == u'\n') {
            afterCarriageReturn = false;
            continue;
        }
        afterCarriageReturn = c == u'\r';
        if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
            lineLength = 0;
            if (++linesInBlock < linesPerBlock && charsInBlock < pieceChars) {
                *next++ = QChar::LineSeparator;
                ++charsInBlock;
            } else {
                *next++ = QLatin1Char('\n');
                linesInBlock = 0;
                charsInBlock = 0;
            }
            continue;
        }
        // Never between the halves of a surrogate pair.
        if (lineLength >= pieceChars && !ch.isLowSurrogate() &&
            (afterSpace || lineLength >= pieceChars + pieceSlack)) {
            cuts.push_back(next - start);
            lineLength = 0;
            linesInBlock = 0;
            charsInBlock = 0;
        }
        *next++ = ch;
        ++lineLength;
        ++charsInBlock;
        afterSpace = c == u' ' || c == u'\t';
    }
    const qsizetype size = next - start;
    if (cuts.empty()) {
        result.truncate(size);
        if (!result.isEmpty())
            out.push_back({std::move(result), false});
        return;
    }
    qsizetype from = 0;
    bool continues = false;
    for (const qsizetype cut : cuts) {
        if (cut > from)
            out.push_back({result.sliced(from, cut - from), continues});
        from = cut;
        continues = true;
    }
    out.push_back({result.sliced(from, size - from), true});
}

} // namespace veldrin
