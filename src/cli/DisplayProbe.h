#pragma once

// Whether a display answers, asked before Qt is: given a display that does not
// answer, Qt's platform plugin ends the process with an abort and advice to
// reinstall. Veldrin says instead which display it tried and why it failed.

#include "platform/Displays.h"

#include <QApplication>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace veldrin {

// Why none of `platforms` can be opened, from what `tried` found ("DISPLAY and
// WAYLAND_DISPLAY are unset"); none when one of them answers or when
// `platforms` is empty.
std::optional<QString> noDisplay(const std::vector<DisplayTry>& tried, const QStringList& platforms);

// The platforms in QT_QPA_PLATFORM ("wayland;xcb", "xcb:option") that need a
// display to answer; empty when one of them needs none (offscreen, vnc...).
QStringList platformsNeedingADisplay(const QString& qtPlatform);

// Before the application starts: unless the user chose Qt's platform
// (QT_QPA_PLATFORM), why no display can be used, as noDisplay() says; when
// only one answers, Qt is pointed at that one (and only Qt: startApplication()
// takes the setting back once Qt has read it). Always none on macOS.
std::optional<QString> prepareDisplay();

// Makes the application. Should Qt give up on its platform all the same (an X
// server that refuses this user, a platform plugin that is missing), says
// so in one line and exits with status 1, instead of Qt's abort.
std::unique_ptr<QApplication> startApplication(int& argc, char** argv);

} // namespace veldrin
