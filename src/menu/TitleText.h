#pragma once

// Menu titles that stay one tidy line whatever text they carry. Texts from
// files or the controller (builds, device names, chat titles, error output)
// are shown literally, but cannot break a title into lines or turn the rest of
// it around with bidirectional controls.

#include <QString>

namespace veldrin {

inline constexpr int menuTitleMaxCharacters = 200;
// Status lines inside submenus stay shorter, so that a long reason cannot
// stretch the submenu across the screen; the whole text goes to the alert.
inline constexpr int statusLineMaxCharacters = 100;

// For inserting an untrusted text into a title: control characters and line
// breaks become spaces, bidirectional controls that close nothing are dropped
// and those left open are closed, and text that could reorder what surrounds
// it is isolated (U+2068 … U+2069).
QString untrustedText(const QString& text);

// The first `count` user-perceived characters of `text` (all of it when it is
// shorter), never ending inside one.
QString firstCharacters(const QString& text, int count);

// A title as a menu shows it: control characters become spaces, and a title
// longer than menuTitleMaxCharacters user-perceived characters is cut, never
// inside one, and ends with "…".
QString menuTitle(const QString& title);
// The same for a status line of a submenu, cut at statusLineMaxCharacters.
QString statusLineTitle(const QString& line);

} // namespace veldrin
