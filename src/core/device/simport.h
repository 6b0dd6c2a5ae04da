// The port named "Simulator": an in-process simulated generator behind the SerialPort
// interface. Writes feed the generator, its replies wait in a receive queue. The generator
// keeps its state across open and close, like a device left switched on.
//
// With pacing on, each write takes the time its bytes need on the line at the port's speed
// (10 bits per byte), on the port's clock. Bytes written at a speed other than the one the
// generator listens at are lost, as they would be garbled on a real line.
// All calls are serialised by a mutex, so a display may read the generator while a transfer
// thread writes.
#pragma once

#include "core/device/clock.h"
#include "core/device/serialport.h"
#include "core/device/simgenerator.h"

#include <deque>
#include <mutex>

namespace ombrix {

inline constexpr const char* kSimulatorPortName = "Simulator";

class SimPort final : public SerialPort {
  public:
    explicit SimPort(Clock& clock = systemClock(), SimSettings settings = {}, bool pacing = false);

    bool OpenPort(const std::string& name, int baudIndex) override;
    bool IsOpen() const override;
    void SetPortEvents() override {}
    bool WritePort(std::span<const std::uint8_t> bytes) override;
    std::size_t ReadInto(std::uint8_t* into, std::size_t maxCount) override;
    bool WaitReadable(int timeoutMs) override;
    void FlushPort() override {}
    void PurgeTransmit() override {}
    bool ClosePort() override;
    // Paced writes take their line time themselves; unpaced ones take none.
    int LineBaud() const override;

    void setPacing(bool on);

    // Runs `f` on the generator under the port's lock (state queries, fault settings).
    template <class F> decltype(auto) withGenerator(F&& f) {
        std::lock_guard lock(mutex_);
        return f(generator_);
    }

  private:
    void collectReplies();

    mutable std::mutex mutex_;
    Clock& clock_;
    SimGenerator generator_;
    std::deque<std::uint8_t> received_;
    bool open_ = false;
    int baudIndex_ = kStartBaudIndex;
    bool pacing_ = false;
    std::uint64_t lineDebtBits_ = 0; // bits x 1000 not yet slept for
};

} // namespace ombrix
