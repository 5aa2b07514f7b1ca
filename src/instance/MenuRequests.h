#pragma once

// A second `veldrin` (from an application launcher, or `veldrin --menu` from
// a desktop shortcut) asks the one already running for this home folder to
// open its status menu, over a local socket beside the instance lock. That
// is how a desktop without a tray, or a keyboard user, reaches the menu.

#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;

namespace veldrin {

// The socket, in the instance lock's folder.
QString menuSocketPath();

// Held by the running Veldrin: `open` is called on the main thread for each
// request (a second one within half a second is a repeat and dropped), with
// the activation token the launcher gave the asking program, if any.
class MenuRequests : public QObject {
    Q_OBJECT
public:
    explicit MenuRequests(std::function<void(const QByteArray& activationToken)> open,
                          QObject* parent = nullptr);
    ~MenuRequests() override;
    // Why nothing listens, if nothing does.
    QString problem() const { return problem_; }

private:
    void accept();

    std::function<void(const QByteArray&)> open_;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QString problem_;
    qint64 lastOpen_ = 0;
};

// Asks the Veldrin running for this home folder to open its menu, passing on
// the launcher's XDG_ACTIVATION_TOKEN; true once it says it has. Needs no
// Qt application; waits five seconds at most.
bool askToOpenMenu(QString* why);

} // namespace veldrin
