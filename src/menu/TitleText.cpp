#include "menu/TitleText.h"

#include <QList>
#include <QTextBoundaryFinder>

#include <algorithm>

#include <vector>

namespace veldrin {

namespace {

constexpr char16_t pdf = 0x202C;
constexpr char16_t fsi = 0x2068;
constexpr char16_t pdi = 0x2069;
// Deeper nesting than this is refused by the layout engine anyway.
constexpr size_t maxBidiDepth = 60;

bool isEmbeddingOpener(char16_t c) {
    return c == 0x202A || c == 0x202B || c == 0x202D || c == 0x202E;
}
bool isIsolateOpener(char16_t c) {
    return c >= 0x2066 && c <= 0x2068;
}

QString controlsToSpaces(const QString& text) {
    QString out = text;
    for (QChar& ch : out) {
        if (ch.category() == QChar::Other_Control || ch == QChar::LineSeparator ||
            ch == QChar::ParagraphSeparator)
            ch = QLatin1Char(' ');
    }
    return out;
}

// Every embedding, override or isolate opened in the text ends inside it.
QString balanceBidi(const QString& text) {
    QString out;
    out.reserve(text.size() + 4);
    std::vector<char16_t> open;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (isEmbeddingOpener(c) || isIsolateOpener(c)) {
            if (open.size() >= maxBidiDepth)
                continue;
            open.push_back(c);
        } else if (c == pdf) {
            if (open.empty() || isIsolateOpener(open.back()))
                continue;
            open.pop_back();
        } else if (c == pdi) {
            // Closes the innermost isolate and every embedding inside it; with
            // no isolate open it closes nothing.
            if (std::none_of(open.begin(), open.end(), isIsolateOpener))
                continue;
            while (!isIsolateOpener(open.back()))
                open.pop_back();
            open.pop_back();
        }
        out += ch;
    }
    while (!open.empty()) {
        out += QChar(isIsolateOpener(open.back()) ? pdi : pdf);
        open.pop_back();
    }
    return out;
}

bool canReorderItsSurroundings(const QString& text) {
    // By code point: Adlam, Mende Kikakui and other right-to-left scripts lie
    // beyond U+FFFF.
    for (const char32_t c : text.toUcs4()) {
        switch (QChar::direction(c)) {
        case QChar::DirR:
        case QChar::DirAL:
        case QChar::DirAN:
        case QChar::DirRLE:
        case QChar::DirRLO:
        case QChar::DirLRE:
        case QChar::DirLRO:
        case QChar::DirPDF:
        case QChar::DirLRI:
        case QChar::DirRLI:
        case QChar::DirFSI:
        case QChar::DirPDI:
            return true;
        default:
            break;
        }
    }
    return false;
}

} // namespace

QString untrustedText(const QString& text) {
    const QString safe = balanceBidi(controlsToSpaces(text));
    if (!canReorderItsSurroundings(safe))
        return safe;
    return QChar(fsi) + safe + QChar(pdi);
}

QString firstCharacters(const QString& text, int count) {
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    for (int n = 0; n < count; ++n) {
        if (characters.toNextBoundary() < 0)
            return text;
    }
    return text.left(characters.position());
}

namespace {

QString cutTitle(const QString& title, int maxCharacters) {
    const QString line = controlsToSpaces(title);
    if (line.size() <= maxCharacters || firstCharacters(line, maxCharacters) == line)
        return line;
    return balanceBidi(firstCharacters(line, maxCharacters - 1)) + QStringLiteral("…");
}

} // namespace

QString menuTitle(const QString& title) {
    return cutTitle(title, menuTitleMaxCharacters);
}

QString statusLineTitle(const QString& line) {
    return cutTitle(line, statusLineMaxCharacters);
}

} // namespace veldrin
