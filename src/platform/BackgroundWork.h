#pragma once

// The one way to run work off the main thread: a job runs on a thread of its
// own and answers with what to do next on the main thread (its hand-back).
// The application owns the threads and joins them when it shuts the work down.

#include "platform/StopToken.h"

#include <chrono>
#include <functional>
#include <memory>

namespace veldrin {

class BackgroundWork {
public:
    using HandBack = std::function<void()>;
    // Must not touch main-thread state: it gets values, and hands values back
    // inside the closure it returns. It should end soon after `stop`.
    using Job = std::function<HandBack(const StopToken& stop)>;

    // A job in flight.
    class Task {
    public:
        virtual ~Task() = default;
    };

    virtual ~BackgroundWork() = default;
    // Main thread. The hand-back runs later on the main thread, unless the
    // work has been shut down by then.
    virtual std::shared_ptr<Task> start(Job job) = 0;
    // Main thread. Waits up to `timeout` for the task; once it has finished,
    // runs its hand-back now (and never again) and answers true.
    virtual bool finishWithin(const std::shared_ptr<Task>& task, std::chrono::milliseconds timeout) = 0;
    // Main thread. Asks every job to stop, joins their threads and drops the
    // hand-backs that have not run.
    virtual void shutdown() = 0;
};

} // namespace veldrin
