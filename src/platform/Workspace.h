#pragma once

// The running applications of the desktop session.

#include <QString>
#include <QStringList>

#include <functional>
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
    // Main thread. Opens `path`, a folder, in the desktop's file manager,
    // without waiting for it; `done` gets, on the main thread (perhaps before
    // this returns), nothing, or a sentence that names the folder and says
    // why it could not be shown.
    using FolderOpened = std::function<void(const std::optional<QString>& error)>;
    virtual void openFolder(const QString& path, FolderOpened done) = 0;
};

} // namespace veldrin
