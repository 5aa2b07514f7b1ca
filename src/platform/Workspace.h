#pragma once

// The running applications of the desktop session.

#include <QString>
#include <QStringList>

#include <optional>

namespace veldrin {

class Workspace {
public:
    virtual ~Workspace() = default;
    // Main thread. Asks every running application whose bundle identifier is
    // one of these to quit, as the user's own Quit would; returns at once and
    // reports nothing. Where applications carry no bundle identifiers this
    // quits nothing.
    virtual void terminateApplications(const QStringList& bundleIdentifiers) = 0;
    // Main thread. Opens `path`, a folder, in the desktop's file manager; the
    // launch error's description when that cannot happen.
    virtual std::optional<QString> openFolder(const QString& path) = 0;
};

} // namespace veldrin
