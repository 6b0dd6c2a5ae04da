// The device link's jobs and their queue: every device command, whoever asks for it (the
// window, the control panel, a remote client), is one job, and the link runs them one after
// another in the order they were asked for. Plain data and a plain queue, so that ordering and
// coalescing are tested without threads; LinkThread (linkthread.h) runs the queue.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ombrix {

enum class LinkJobKind {
    Connect,         // "&Connect"
    Disconnect,      // "&Disconnect"
    CheckConnection, // "&Check Connection with device"
    ShowVersion,     // "Show &DSP program version"
    ResetDsp,        // "&Reset DSP"
    ChangeFrequency, // "Change &frequency": the main frequency alone
    ChangeReference, // "Change &reference voltage"
    SendAll,         // "Send &all" (the "&Send all" button recalculates first when asked to)
    SendSamples,     // "Send &samples"
    RunMask,         // a run mask from the control panel (Start/Stop)
    PanelFrequency,  // a frequency from the control panel
};

const char* linkJobName(LinkJobKind kind);

// Jobs that open, close or reset the link or hold the port for long (the transfers). While
// one waits or runs, the controls that would start another are disabled.
bool holdsTheLink(LinkJobKind kind);

// Whether a newer job of this kind replaces one still waiting at the queue's tail (latest
// wins): only the control panel's frequency, whose intermediate values are not owed.
bool replacesWaiting(LinkJobKind kind);

// What became of a job, reported to whoever asked for it.
struct LinkOutcome {
    enum class Status {
        Done,     // it ran
        Replaced, // a newer job of its kind took its place before it ran
        Dropped,  // the link shut down before it ran
        Refused,  // refused before anything was sent (not connected, forms not sendable)
    };
    Status status = Status::Done;
    bool connected = false;          // the port is open after the job
    std::uint8_t runMask = 0;        // outputs playing after the job, bit k-1 = Output k
    std::vector<std::string> errors; // texts of the error and warning messages it raised
    std::vector<std::string> notes;  // texts of its information messages ("Connection OK.")
    bool ok() const { return status == Status::Done && errors.empty(); }
};

// One queued job: `run` on the link thread; `dropped` (on the thread that replaced or dropped
// it) when it will never run, with Replaced or Dropped.
struct QueuedJob {
    LinkJobKind kind = LinkJobKind::Connect;
    std::function<void()> run;
    std::function<void(LinkOutcome::Status)> dropped;
};

// First in, first out; a job whose kind replacesWaiting() takes the place of one of its kind
// that waits at the tail. Never reorders: a frequency behind a run mask is not moved ahead.
class JobQueue {
  public:
    // Appends `job`, or puts it in the place of the tail job it replaces, which is returned.
    std::optional<QueuedJob> push(QueuedJob job);
    std::optional<QueuedJob> pop();
    // Takes every waiting job out, in order.
    std::vector<QueuedJob> takeAll();
    bool empty() const { return jobs_.empty(); }
    std::size_t size() const { return jobs_.size(); }

  private:
    std::vector<QueuedJob> jobs_; // front = next to run
};

} // namespace ombrix
