// The serial line to the generator: one abstract port with the few operations the device
// commands use, a fixed 64-byte receive buffer and the table of line speeds.
//
// Implementations: TermiosPort (a real or pseudo terminal device), SimPort (the in-process
// simulated generator, port name "Simulator") and SelectingPort (picks one of the two by the
// name given to OpenPort, a ForwardingPort that passes the other calls on). The port never shows
// messages; see openPortOrReport() in portopen.h for the reported open.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace ombrix {

class LineObserver; // protocol.h

// Size of the receive buffer; no read delivers more than this at once.
inline constexpr std::size_t kReceiveBufferSize = 64;

// Line-speed table, index 0..7 as in the settings dialog's baud-rate list.
inline constexpr std::array<int, 8> kBaudTable = {600, 1200, 2400, 4800, 9600, 19200, 38400, 57600};

// The index every connection attempt starts at and the device is returned to (9600 baud).
inline constexpr int kStartBaudIndex = 4;

// The name of the port used until the settings dialog is accepted.
inline constexpr const char* kStartPortName = "COM1";

// Baud rate of a line-speed index; any index outside 0..7 gives 9600.
int baudForIndex(int baudIndex);

class SerialPort {
  public:
    using ReceiveBuffer = std::array<std::uint8_t, kReceiveBufferSize>;

    virtual ~SerialPort() = default;

    // Opens the port `name` exclusively for reading and writing at the speed of `baudIndex`
    // (8 data bits, no parity, 1 stop bit, no flow control, DTR and RTS off). Returns false
    // when there is no such port, it is busy or already open; the port then stays closed.
    // Remembers `name` as PortName() in every case.
    virtual bool OpenPort(const std::string& name, int baudIndex) = 0;

    // True while the port is open ("connected" for the device commands).
    virtual bool IsOpen() const = 0;

    // Arms the events the writes wait for. Callers do this right after a successful open.
    virtual void SetPortEvents() = 0;

    // Writes `bytes` and waits until they have left the transmit queue. Returns false when
    // the port is closed or the write failed; callers do not act on the result.
    virtual bool WritePort(std::span<const std::uint8_t> bytes) = 0;

    // Reads what has already arrived, at most min(maxCount, 64) bytes, into `into` (which
    // must hold that many). Never blocks; returns the number read, 0 when nothing waits or
    // the port is closed. Bytes beyond the limit stay queued.
    virtual std::size_t ReadInto(std::uint8_t* into, std::size_t maxCount) = 0;

    // Blocks until at least one byte can be read or `timeoutMs` milliseconds have passed on
    // this port's time base. Returns true when bytes wait. A closed port waits out the time.
    virtual bool WaitReadable(int timeoutMs) = 0;

    // Waits until every written byte has left.
    virtual void FlushPort() = 0;

    // Discards whatever is still waiting to be sent.
    virtual void PurgeTransmit() = 0;

    // Closes the port. Returns false when it was already closed.
    virtual bool ClosePort() = 0;

    // The line speed [baud] at which written bytes still have to cross the line after
    // WritePort has returned (a USB adapter or a pseudo terminal returns at once), so that the
    // protocol layer reckons their line time: 10 bits a byte. 0 when no line time is reckoned:
    // the port is closed, its writes already take their line time, or its line takes none.
    virtual int LineBaud() const { return 0; }

    // Reads what has arrived, at most min(maxCount, 64) bytes, into the START of the receive
    // buffer; returns the number read.
    std::size_t ReadAvailable(std::size_t maxCount);

    const ReceiveBuffer& receiveBuffer() const { return receiveBuffer_; }
    ReceiveBuffer& receiveBuffer() { return receiveBuffer_; }
    void clearReceiveBuffer() { receiveBuffer_.fill(0); }

    // The name passed to the last OpenPort call ("COM1" before any).
    const std::string& PortName() const { return portName_; }

    // What the protocol layer keeps about the line between exchanges (protocol.cpp).
    struct LineBook {
        std::uint64_t clearAtNs = 0;   // clock time at which every byte written has left the line
        std::size_t owedBytes = 0;     // bytes of a reply that did not come complete in time
        std::uint64_t owedUntilMs = 0; // until when they are waited for before the next frame
    };
    LineBook& lineBook() { return lineBook_; }

    // Where every frame written, reply read and stray byte discarded is reported (none when
    // null). Called on the thread that talks to the port; not owned.
    void setLineObserver(LineObserver* observer) { lineObserver_ = observer; }
    LineObserver* lineObserver() const { return lineObserver_; }

  protected:
    void rememberName(const std::string& name) { portName_ = name; }

  private:
    ReceiveBuffer receiveBuffer_{};
    std::string portName_ = kStartPortName;
    LineBook lineBook_;
    LineObserver* lineObserver_ = nullptr;
};

} // namespace ombrix
