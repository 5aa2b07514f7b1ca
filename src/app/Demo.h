#pragma once

// `veldrin --demo`: a throw-away sandbox holding the simulated controller, the
// app bundles, the data folders and a system root, so that Veldrin can run for
// real without reading or writing anything of the user's.

#include <QString>

#include <optional>

namespace veldrin {

struct DemoSandbox {
    QString root;       // removed when the demo ends
    QString home;       // becomes HOME
    QString systemRoot; // becomes VELDRIN_SYSTEM_ROOT
};

// Lays the sandbox out below the temporary folder. Reads nothing of the user's.
std::optional<DemoSandbox> prepareDemoSandbox(QString* error);

// Points HOME, VELDRIN_SYSTEM_ROOT and the XDG folders (settings, caches) into
// the sandbox. Call before the application object exists.
void enterDemoSandbox(const DemoSandbox& sandbox);

// Starts the three long-lived stand-ins for the Codex apps. Call after
// enterDemoSandbox.
void startDemoApps(const DemoSandbox& sandbox);

// Kills what the demo started and removes the sandbox.
void removeDemoSandbox(const DemoSandbox& sandbox);

} // namespace veldrin
