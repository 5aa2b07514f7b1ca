#pragma once

#include "platform/BackgroundWork.h"

#include <QObject>

#include <memory>
#include <vector>

namespace veldrin {

// Each job on a thread of its own (a few run at a time at most: the state
// query, a streamed run, the slower background checks); hand-backs travel
// through the Qt event loop.
class ThreadedWork final : public BackgroundWork {
public:
    ThreadedWork();
    ~ThreadedWork() override;

    std::shared_ptr<Task> start(Job job) override;
    bool finishWithin(const std::shared_ptr<Task>& task, std::chrono::milliseconds timeout) override;
    void shutdown() override;

private:
    struct Running;
    void handBack(Running& task);

    std::unique_ptr<QObject> mainThread_; // context of the posted hand-backs
    std::vector<std::shared_ptr<Running>> running_;
    bool shutDown_ = false;
};

} // namespace veldrin
