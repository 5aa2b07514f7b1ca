#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

namespace veldrin {

// What the indicator tells at a glance: whether a sync can start now.
enum class SyncState { ready, paused, blocked, working };

// The menu's status line for a state.
QString statusLine(SyncState state);

// The indicator's tint: blue while working, orange while paused or blocked,
// the neutral secondary text colour when ready. Light and dark variants follow
// the palette.
QColor indicatorTint(SyncState state, const QPalette& palette);

} // namespace veldrin
