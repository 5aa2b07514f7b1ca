#pragma once

// `veldrin --check`: what this desktop offers Veldrin, one line each, for the
// user and for bug reports.

namespace veldrin {

// Prints the controller, the display, the tray, the notification service, the
// two inhibitors and the session bus as Veldrin finds them, then a last line
// that names what is missing. 0 when Veldrin has all it needs (controller,
// display, tray), 1 otherwise; the optional services never fail the check.
// Every D-Bus call has a short time bound; no display is opened unless one
// answers.
int runDesktopCheck(int& argc, char** argv);

} // namespace veldrin
