// A port that passes every call on to another port, its target: the base of a port that
// chooses, records or alters a few calls of a port it holds and leaves the rest as they are.
// The target is not owned; it must outlive its use here.
#pragma once

#include "core/device/serialport.h"

namespace ombrix {

class ForwardingPort : public SerialPort {
  public:
    // Without a target (null) the port behaves as a closed one: opens fail, writes and reads
    // pass nothing, and a wait returns false at once.
    explicit ForwardingPort(SerialPort* target = nullptr) : target_(target) {}

    // Remembers `name` as this port's PortName() and opens the target.
    bool OpenPort(const std::string& name, int baudIndex) override;
    bool IsOpen() const override;
    void SetPortEvents() override;
    bool WritePort(std::span<const std::uint8_t> bytes) override;
    std::size_t ReadInto(std::uint8_t* into, std::size_t maxCount) override;
    bool WaitReadable(int timeoutMs) override;
    void FlushPort() override;
    void PurgeTransmit() override;
    bool ClosePort() override;
    int LineBaud() const override;

  protected:
    SerialPort* target() const { return target_; }
    void setTarget(SerialPort* target) { target_ = target; }

  private:
    SerialPort* target_;
};

} // namespace ombrix
