#pragma once

#include "menu/SyncState.h"

#include <QColor>
#include <QIcon>
#include <QImage>

namespace veldrin {

// Blue while working, orange while paused or blocked, a neutral grey when
// ready. The panel behind a tray icon may be light or dark and the icon cannot
// tell which, so each tint keeps at least 3:1 contrast against both: white,
// #F6F5F4 and #EFF0F1 panels as well as black, #242424, #2D2D2D and #31363B.
QColor indicatorTint(SyncState state);

// The indicator symbol: two arrows chasing each other round a circle, drawn in
// one colour on a transparent background, without text.
QImage indicatorImage(int size, const QColor& tint, qreal devicePixelRatio = 1.0);
QIcon indicatorIcon(const QColor& tint);

} // namespace veldrin
