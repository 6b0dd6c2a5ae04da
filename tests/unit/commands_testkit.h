// Shared pieces of the device command and transfer tests: a fake port on a fake clock that
// can answer like the simulated generator, recorders for the enabled controls and the
// progress bar, and the writes a frame or a block makes on the wire.
#pragma once

#include "core/device/devicecommands.h"
#include "core/device/frame.h"
#include "core/device/reply.h"
#include "core/device/simgenerator.h"
#include "core/device/transfer.h"
#include "testkit/fakeclock.h"
#include "testkit/fakeport.h"
#include "testkit/recordingui.h"

#include <mutex>
#include <optional>
#include <vector>

namespace ombrix::testkit {

using Bytes = std::vector<std::uint8_t>;
using Writes = std::vector<Bytes>;

class RecordingButtons final : public DeviceButtons {
  public:
    void EnableControls(const LinkControls& controls) override {
        std::lock_guard lock(mutex_);
        calls_.push_back(controls);
    }
    std::vector<LinkControls> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<LinkControls> calls_;
};

class RecordingProgress final : public TransferProgress {
  public:
    void SetProgressMax(int maximum) override { max = maximum; }
    void StepProgress() override {
        ++steps;
        if (onStep)
            onStep(steps);
    }
    int max = -1;
    int steps = 0;
    std::function<void(int)> onStep;
};

// The two writes of a plain frame: 12 bytes, then the trailer.
inline Writes frameWrites(const CommandFrame& f) {
    const auto t = f.trailer();
    return {Bytes(f.bytes.begin(), f.bytes.end()), Bytes(t.begin(), t.end())};
}

inline void append(Writes& to, const Writes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

inline Bytes goodReply(std::span<const std::uint8_t> data = {}) {
    const auto r = makeReply(0, data);
    return Bytes(r.begin(), r.end());
}

inline Bytes replyWithStatus(std::uint8_t status) {
    const auto r = makeReply(status);
    return Bytes(r.begin(), r.end());
}

// A fake port, its clock, a recording user interface and buttons, and the commands over
// them. A simulated generator behind the port hears every frame (and ends a block cut short
// when the link waits, as the line goes quiet); its replies are delivered as they are, or
// replaced by scripted ones.
struct Rig {
    FakeClock clock;
    FakePort port{clock};
    RecordingUserInterface ui;
    RecordingButtons buttons;
    DeviceCommands commands{port, clock, ui, buttons};
    SimGenerator device;

    // The generator answers every frame.
    void answerLikeTheDevice() { hear(std::nullopt); }
    // The frames that expect a reply get these, in order; then the device stays silent.
    void scriptReplies(std::vector<Bytes> replies) { hear(std::move(replies)); }
    void queueGoodReplies(int count) {
        scriptReplies(std::vector<Bytes>(static_cast<std::size_t>(count), goodReply()));
    }
    void hear(std::optional<std::vector<Bytes>> script) {
        script_ = std::move(script);
        port.setResponder([this](FakePort& p, std::span<const std::uint8_t> bytes) {
            device.receive(bytes);
            answer(p);
        });
        port.setWaitHook([this](FakePort& p) {
            device.lineIdle();
            answer(p);
        });
    }
    void answer(FakePort& p) {
        for (Bytes& reply : device.takeReplies()) {
            if (!script_) {
                p.deliver(reply);
            } else if (!script_->empty()) {
                p.deliver(script_->front());
                script_->erase(script_->begin());
            }
        }
    }
    std::optional<std::vector<Bytes>> script_;

    // Opens the port as a connected link does.
    void connectDirectly(int baudIndex = kStartBaudIndex) {
        port.OpenPort("COM1", baudIndex);
        port.clearWrites();
    }
};

} // namespace ombrix::testkit
