#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

namespace veldrin {

// The indicator symbol: two arrows chasing each other round a circle, drawn in
// one colour on a transparent background, without text.
QImage indicatorImage(int size, const QColor& tint, qreal devicePixelRatio = 1.0);
QIcon indicatorIcon(const QColor& tint);

} // namespace veldrin
