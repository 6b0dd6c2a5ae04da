// The device link thread: one thread for the whole session that runs the link's jobs one
// after another, in the order they were posted (JobQueue, with its latest-wins frequency).
// The jobs do the talking on the port; whoever posts them learns their end through what the
// jobs themselves report. Posting never waits for the line.
#pragma once

#include "core/device/linkjobs.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace ombrix {

class LinkThread {
  public:
    LinkThread();
    LinkThread(const LinkThread&) = delete;
    LinkThread& operator=(const LinkThread&) = delete;
    // Drops the waiting jobs (their `dropped` is called with Dropped), lets the running one
    // end and joins.
    ~LinkThread();

    // Queues `job`. A waiting job it replaces is told so (Replaced) on the calling thread.
    void post(QueuedJob job);
    // Takes the waiting jobs out of the queue and tells each (Dropped); the running job goes on.
    void dropWaiting();
    // Blocks until no job waits and none runs.
    void waitIdle();
    // True while a job waits or runs.
    bool busy() const;

  private:
    void loop();

    mutable std::mutex mutex_;
    std::condition_variable wake_; // a job was posted, or the thread is to end
    std::condition_variable idle_; // the queue ran empty
    JobQueue queue_;
    bool running_ = false; // a job is on the line
    bool quit_ = false;
    std::thread thread_; // last: starts once the rest is built
};

} // namespace ombrix
