#pragma once

// A keyboard focus that can be seen: a frame around the focused control that
// stands out by 3:1 from what surrounds it, in any palette.

#include <QColor>
#include <QPalette>
#include <QString>

#include <algorithm>
#include <cmath>

namespace veldrin {

// The WCAG contrast ratio of two colours, from their relative luminance.
inline double contrastRatio(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto linear = [](float v) {
            return v <= 0.04045f ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The highlight colour where it stands out by 3:1 from the window around the
// control and from the control's own base; otherwise the window's text
// colour, which every usable palette sets apart from both.
inline QColor focusFrameColour(const QPalette& palette) {
    const QColor highlight = palette.color(QPalette::Highlight);
    if (contrastRatio(highlight, palette.color(QPalette::Window)) >= 3.0 &&
        contrastRatio(highlight, palette.color(QPalette::Base)) >= 3.0)
        return highlight;
    return palette.color(QPalette::WindowText);
}

constexpr int focusFrameWidth = 2;

// A style sheet for controls of class `type`: the focus frame while one has
// the focus; without it, a frame as wide in the palette's mid colour, so that
// nothing moves as the focus comes and goes.
inline QString focusFrameStyleSheet(const QString& type, const QPalette& palette) {
    return QStringLiteral("%1 { border: %2px solid %3; } %1:focus { border: %2px solid %4; }")
        .arg(type)
        .arg(focusFrameWidth)
        .arg(palette.color(QPalette::Mid).name(), focusFrameColour(palette).name());
}

} // namespace veldrin
