#include "core/device/linkthread.h"

#include "core/compute/vectorstate.h"

namespace ombrix {

LinkThread::LinkThread() : thread_([this] { loop(); }) {}

LinkThread::~LinkThread() {
    dropWaiting();
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void LinkThread::post(QueuedJob job) {
    std::optional<QueuedJob> replaced;
    {
        const std::lock_guard lock(mutex_);
        replaced = queue_.push(std::move(job));
    }
    wake_.notify_one();
    if (replaced && replaced->dropped)
        replaced->dropped(LinkOutcome::Status::Replaced);
}

void LinkThread::dropWaiting() {
    std::vector<QueuedJob> dropped;
    {
        const std::lock_guard lock(mutex_);
        dropped = queue_.takeAll();
    }
    idle_.notify_all();
    for (QueuedJob& job : dropped)
        if (job.dropped)
            job.dropped(LinkOutcome::Status::Dropped);
}

void LinkThread::waitIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && !running_; });
}

bool LinkThread::busy() const {
    const std::lock_guard lock(mutex_);
    return running_ || !queue_.empty();
}

void LinkThread::loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
        if (quit_)
            return;
        QueuedJob job = *queue_.pop();
        running_ = true;
        lock.unlock();
        clearUpperVectorState(); // as a transfer's thread did: the GUI thread's state leaks in
        if (job.run)
            job.run();
        job = {}; // what the job held goes before it counts as done
        lock.lock();
        running_ = false;
        if (queue_.empty())
            idle_.notify_all();
    }
}

} // namespace ombrix
