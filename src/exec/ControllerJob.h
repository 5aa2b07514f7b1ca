#pragma once

#include <QString>
#include <QStringList>

namespace veldrin {

// One streamed controller run: the arguments after the controller's path, and
// the title of the log window that shows it.
struct ControllerJob {
    QStringList arguments;
    QString title;
};

} // namespace veldrin
