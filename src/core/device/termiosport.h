// A SerialPort on a POSIX terminal device: a real serial port or a pseudo terminal.
//
// Port names: "COMn" is /dev/ttyS(n-1), a bare name ("ttyUSB0") is /dev/<name>, a path is
// used as it is. The open is exclusive (TIOCEXCL, plus an advisory lock so that a second
// opener is refused even with privileges that ignore TIOCEXCL). Raw 8N1, no flow control,
// DTR and RTS off. Writes wait until the bytes have left (tcdrain); reads never block.
#pragma once

#include "core/device/serialport.h"

#include <string>

namespace ombrix {

class TermiosPort final : public SerialPort {
  public:
    TermiosPort() = default;
    ~TermiosPort() override;
    TermiosPort(const TermiosPort&) = delete;
    TermiosPort& operator=(const TermiosPort&) = delete;

    // The device path a port name stands for.
    static std::string devicePath(const std::string& name);

    bool OpenPort(const std::string& name, int baudIndex) override;
    bool IsOpen() const override { return fd_ >= 0; }
    void SetPortEvents() override {}
    bool WritePort(std::span<const std::uint8_t> bytes) override;
    std::size_t ReadInto(std::uint8_t* into, std::size_t maxCount) override;
    bool WaitReadable(int timeoutMs) override;
    void FlushPort() override;
    void PurgeTransmit() override;
    bool ClosePort() override;
    // The speed of the open port: a USB adapter or a pseudo terminal takes the bytes long
    // before they have crossed the line.
    int LineBaud() const override { return fd_ >= 0 ? baud_ : 0; }

    // The number of bytes waiting in the receive queue (0 when closed).
    std::size_t waitingCount() const;

    // The OS error text of the last failed open, for diagnostics only.
    const std::string& lastError() const { return lastError_; }

  private:
    int fd_ = -1;
    int baud_ = 0;
    std::string lastError_;
};

} // namespace ombrix
