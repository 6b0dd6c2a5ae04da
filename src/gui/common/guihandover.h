// Hands calls from a worker thread to the GUI thread, in order.
//
// The calls wait in a queue with a lock of its own and one queued wake-up runs them on the
// context object's thread. Qt's event queue alone would order them too, but its locks are
// invisible to ThreadSanitizer; this lock makes the hand-over visible. A call that opens a
// modal box runs a nested event loop, and calls handled there still come after it.
#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

namespace ombrix {

class GuiHandOver : public QObject {
    Q_OBJECT
  public:
    // Lives on the thread that creates it (the GUI thread); the calls run there.
    GuiHandOver() = default;

    // Queues `call` to run on the GUI thread. Safe from any thread.
    void post(std::function<void()> call);
    // Runs what is queued now (the GUI thread only). Invoked by name, so that the wake-up
    // carries no data of ours that would be read before the lock is taken.
    Q_INVOKABLE void drain();

  private:
    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
};

} // namespace ombrix
