#pragma once

// A titled, read-only, monospaced transcript window that only grows and always
// shows its end. The window outlives the run that filled it: releasing the
// last reference leaves a window on screen until the user closes it.

#include <QString>

#include <memory>

namespace veldrin {

class LogWindow {
public:
    virtual ~LogWindow() = default;
    // Main thread: order front, make key, activate the application.
    virtual void show() = 0;
    // Any thread. Returns at once; pieces from one thread keep their order.
    virtual void append(const QString& text) = 0;
};

class LogWindows {
public:
    virtual ~LogWindows() = default;
    // Main thread. Built, not shown.
    virtual std::shared_ptr<LogWindow> create(const QString& title) = 0;
};

} // namespace veldrin
