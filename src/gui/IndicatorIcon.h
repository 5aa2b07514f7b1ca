#pragma once

#include "menu/SyncState.h"

#include <QByteArray>
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QString>

#include <optional>

namespace veldrin {

// The indicator symbol: two arrows chasing each other round a circle, with a
// mark in the middle that tells the state by shape as well as by colour:
// none when a sync can start, a dot while working, two bars when paused, one
// bar across (no entry) when blocked. No text.
//
// Working is blue and paused or blocked orange; each tint keeps at least 3:1
// contrast against light panels (white, #F6F5F4, #EFF0F1) and dark ones
// (black, #242424, #2D2D2D, #31363B). The ready symbol follows the panel
// where the host can recolour it (indicatorIconName); as a picture it is
// white in a black rim, which keeps more than 4.5:1 against any panel colour.
QColor indicatorTint(SyncState state);
QImage indicatorImage(SyncState state, int size, qreal devicePixelRatio = 1.0);
QIcon indicatorIcon(SyncState state);

// The arrows alone, in one colour: the application icon's symbol, drawn and
// as SVG path data on the 16-unit grid.
QImage indicatorArrows(int size, const QColor& tint);
QString indicatorArrowsSvgPath();

// The ready symbol as a symbolic icon in the Breeze style: hosts that
// recolour symbolic icons draw the arrows in the panel's text colour and
// leave out the rim; the others draw it as indicatorImage does.
inline constexpr const char* indicatorIconName = "veldrin-ready-symbolic";
QByteArray indicatorSymbolicSvg();
// Writes that icon into `folder`, both as a hicolor theme and loose (hosts
// look in one or the other), for use as the item's IconThemePath. Returns
// why it could not, or nothing.
std::optional<QString> writeIndicatorTheme(const QString& folder);

} // namespace veldrin
