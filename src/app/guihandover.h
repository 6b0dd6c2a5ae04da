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

class GuiHandOver {
  public:
    explicit GuiHandOver(QObject* context) : context_(context) {}
    GuiHandOver(const GuiHandOver&) = delete;
    GuiHandOver& operator=(const GuiHandOver&) = delete;

    // Queues `call` to run on the context's thread. Safe from any thread.
    void post(std::function<void()> call);
    // Runs what is queued now (the context's thread only).
    void drain();

  private:
    QObject* context_;
    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
};

} // namespace ombrix
