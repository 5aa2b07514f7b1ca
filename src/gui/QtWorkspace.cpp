#include "gui/QtWorkspace.h"

#include <QDesktopServices>
#include <QUrl>

namespace veldrin {

#if defined(Q_OS_MACOS)
std::unique_ptr<Workspace> makeRunningApplicationsWorkspace();

std::unique_ptr<Workspace> makeWorkspace() {
    return makeRunningApplicationsWorkspace();
}
#else
namespace {

class DesktopWorkspace : public Workspace {
public:
    void terminateApplications(const QStringList&) override {}
    std::optional<QString> openFolder(const QString& path) override {
        if (QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
            return std::nullopt;
        return QStringLiteral("no file manager could open ") + path;
    }
};

} // namespace

std::unique_ptr<Workspace> makeWorkspace() {
    return std::make_unique<DesktopWorkspace>();
}
#endif

} // namespace veldrin
