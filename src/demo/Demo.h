#pragma once

// `veldrin --demo`: a throw-away sandbox holding the simulated controller, the
// app bundles, the data folders and a system root, so that Veldrin can run for
// real without reading or writing anything of the user's.

#include <QString>

#include <optional>

namespace veldrin {

// Lays out `home` and `systemRoot` as the demo runs in them: the simulated
// controller (~/bin/veldrin), the stand-in app and the three app bundles
// (Tri a build behind Primary), the data folders with their projects to
// offer, and below the system root the simulated pmset and sudo and the real
// kill. The tests and the benchmarks lay out their homes with it too.
bool layOutSandbox(const QString& home, const QString& systemRoot, QString* error);

struct DemoSandbox {
    QString root;       // removed when the demo ends
    QString home;       // becomes HOME
    QString systemRoot; // becomes VELDRIN_SYSTEM_ROOT
};

// Removes the sandboxes that demos which are no longer running left behind
// (killed, say, with SIGKILL); their stand-ins leave once their sandbox is
// gone. Then lays out a new sandbox below the temporary folder, owned by this
// process. Reads nothing of the user's.
std::optional<DemoSandbox> prepareDemoSandbox(QString* error);

// Points HOME, VELDRIN_SYSTEM_ROOT and the XDG folders (settings, caches) into
// the sandbox. Call before the application object exists.
void enterDemoSandbox(const DemoSandbox& sandbox);

void removeDemoSandbox(const DemoSandbox& sandbox);

} // namespace veldrin
