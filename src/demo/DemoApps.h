#pragma once

// The three long-lived stand-ins for the Codex apps in a sandbox: started by
// this process, reaped by it when they end, and at the end signalled by it
// alone. Only processes that are still its own unreaped children are ever
// signalled, so no identifier read from a file can make it kill anything else.

#include <QObject>
#include <QString>
#include <QTimer>

#include <sys/types.h>
#include <vector>

namespace veldrin {

class DemoApps : public QObject {
public:
    DemoApps();
    // Ends whatever is still running.
    ~DemoApps() override;
    DemoApps(const DemoApps&) = delete;
    DemoApps& operator=(const DemoApps&) = delete;

    // Starts ChatGPT, ChatGPT Alt and ChatGPT Tri (the last ignores TERM) from
    // the bundles of a laid-out sandbox (HOME and VELDRIN_SYSTEM_ROOT already
    // pointing there) and waits up to five seconds for them to register with
    // the simulated controller.
    bool start(QString* error);
    // The stand-ins still running, in start order.
    std::vector<pid_t> running() const { return running_; }
    // KILL to each stand-in still running, and its process group; reaps them.
    void endAll();

private:
    void reapExited();

    std::vector<pid_t> running_;
    QTimer reaper_;
};

} // namespace veldrin
