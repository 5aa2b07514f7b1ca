#pragma once

// How a log window's text is cut up before it goes into the view's document.

#include <QString>

#include <deque>

namespace veldrin {

// Text as the view takes it, in the order it arrived.
struct DisplayPiece {
    QString text;
    bool continuesLine = false; // starts a block of its own that goes on with the line before
};

// Turns all but every few line ends into soft line breaks (U+2028, which
// look, wrap and copy like line feeds), because the document pays for every
// block far more than for its characters; and cuts a long line into pieces of
// about a fixed size, between words where it can, because a block is laid out
// again whole each time it grows.
// Carriage returns end a line as the view would treat them anyway (CR LF is
// one line end, even when the two arrive in different pieces).
class LineGrouper {
public:
    void rewrite(const QString& text, std::deque<DisplayPiece>& out);

private:
    int linesInBlock = 0;
    qsizetype charsInBlock = 0;
    qsizetype lineLength = 0;
    bool afterCarriageReturn = false;
    bool afterSpace = false;
};

} // namespace veldrin
