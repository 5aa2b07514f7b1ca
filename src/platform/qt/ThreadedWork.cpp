#include "platform/qt/ThreadedWork.h"

#include <QMetaObject>

#include <algorithm>
#include <future>
#include <thread>
#include <vector>

namespace veldrin {

struct ThreadedWork::Running : Task {
    StopSource stop;
    std::promise<void> finishedPromise;
    std::shared_future<void> finished = finishedPromise.get_future().share();
    HandBack result;         // written by the job's thread before `finished` is set
    bool handedBack = false; // main thread only
    std::thread thread;
};

ThreadedWork::ThreadedWork() : mainThread_(std::make_unique<QObject>()) {}

ThreadedWork::~ThreadedWork() {
    shutdown();
}

std::shared_ptr<BackgroundWork::Task> ThreadedWork::start(Job job) {
    auto task = std::make_shared<Running>();
    if (shutDown_)
        return task;
    Running* raw = task.get();
    // The thread uses `raw`, which stays valid because the task stays in
    // running_ until the thread has been joined. The posted hand-back may
    // arrive after finishWithin has already run it, so it holds the task weakly.
    raw->thread = std::thread([this, raw, weak = std::weak_ptr<Running>(task), job = std::move(job),
                               stop = raw->stop.token()]() mutable {
        raw->result = job(stop);
        // What the job captured goes here; anything that must end on the main
        // thread is held by the hand-back as well.
        job = nullptr;
        raw->finishedPromise.set_value();
        QMetaObject::invokeMethod(
            mainThread_.get(),
            [this, weak] {
                if (const auto alive = weak.lock())
                    handBack(*alive);
            },
            Qt::QueuedConnection);
    });
    running_.push_back(task);
    return task;
}

bool ThreadedWork::finishWithin(const std::shared_ptr<Task>& task, std::chrono::milliseconds timeout) {
    auto* running = static_cast<Running*>(task.get());
    if (running->handedBack || shutDown_)
        return running->handedBack;
    if (running->finished.wait_for(timeout) != std::future_status::ready)
        return false;
    handBack(*running);
    return true;
}

void ThreadedWork::handBack(Running& task) {
    const auto it =
        std::find_if(running_.begin(), running_.end(), [&](const auto& r) { return r.get() == &task; });
    if (it == running_.end() || task.handedBack)
        return;
    task.handedBack = true;
    const std::shared_ptr<Running> keep = *it;
    running_.erase(it);
    task.thread.join();
    HandBack next = std::move(task.result);
    if (next)
        next();
}

void ThreadedWork::shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    for (const auto& task : running_)
        task->stop.requestStop();
    for (const auto& task : running_) {
        if (task->thread.joinable())
            task->thread.join();
    }
    // Hand-backs still waiting in the event queue find nothing to run. Those
    // not run are let go here, after the tasks: one may hold what holds its
    // own task (a run keeps the task that reads it), which nothing else frees.
    std::vector<HandBack> dropped;
    for (const auto& task : running_)
        dropped.push_back(std::move(task->result));
    running_.clear();
    mainThread_.reset();
    dropped.clear();
}

} // namespace veldrin
