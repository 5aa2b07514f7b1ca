#pragma once

// A titled, read-only, monospaced transcript window that only grows, with a
// strip above the transcript that tells how its run stands. The window
// outlives the run that filled it: releasing the last reference leaves a
// window on screen until the user closes it, and closing it never stops the run.

#include "base/RunOutcome.h"

#include <QString>

#include <functional>
#include <memory>

namespace veldrin {

class LogWindow {
public:
    virtual ~LogWindow() = default;
    // Main thread: order front, make key, activate the application.
    virtual void show() = 0;
    // Any thread. Pieces from one thread keep their order. Returns at once on
    // the main thread; another thread may wait while the window is far behind
    // (so that a flood is held up in its pipe, not in memory).
    virtual void append(const QString& text) = 0;
    // Main thread. The strip says "Running — M:SS" from now on, counting.
    virtual void runStarted() = 0;
    // Main thread. The strip's last word, e.g. "Failed — exit code 3 · 0:07";
    // the run can no longer be stopped from the window.
    virtual void runEnded(const RunOutcome& outcome) = 0;
    // Main thread. What the window's Stop (a button, and Ctrl+. — Cmd+. on
    // macOS) calls while the run goes on; without one the window has no Stop.
    virtual void setStopHandler(std::function<void()> requestStop) = 0;
    // Main thread. Where the whole transcript is being saved: Save As… copies
    // it, and a window that keeps only the end of a huge transcript names it.
    virtual void setHistoryFile(const QString& path) = 0;
    // Main thread. True while the window is on screen and the active one.
    virtual bool isActive() const = 0;
};

class LogWindows {
public:
    virtual ~LogWindows() = default;
    // Main thread. Built, not shown.
    virtual std::shared_ptr<LogWindow> create(const QString& title) = 0;
};

} // namespace veldrin
