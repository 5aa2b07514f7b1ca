#pragma once

// The displays Qt could open, asked before Qt is. On Linux
// (platform/linux/Displays.cpp) a Wayland display and an X11 one may be
// named, and either may not answer; on macOS (platform/macos/Displays.cpp)
// there is the one display, which needs no asking. The build picks one.

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace veldrin {

// One display Qt could open: the Wayland one in $WAYLAND_DISPLAY or the X11
// one in $DISPLAY.
struct DisplayTry {
    QString platform; // Qt's name for it: "wayland" or "xcb"
    QString variable; // "WAYLAND_DISPLAY" or "DISPLAY"
    QString name;     // the variable's value
    // Why it does not answer, as a clause: "X display :97 does not answer at
    // /tmp/.X11-unix/X97: No such file or directory".
    std::optional<QString> failure;
};

// Connects to the socket of each display that is named (Wayland first, as Qt
// tries them) and hangs up at once. None on macOS.
std::vector<DisplayTry> probeDisplays();

// Qt's platforms that open one of those displays, in the order Qt tries
// them: "wayland" and "xcb"; none on macOS.
QStringList displayPlatforms();

} // namespace veldrin
