#pragma once

#include <QString>
#include <QTextDocument>

namespace veldrin {

// Tooltips are shown as rich text when they look like markup; such a text is
// escaped and wrapped so that it still shows as it is, on the lines it has.
inline QString literalToolTip(const QString& text) {
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

} // namespace veldrin
