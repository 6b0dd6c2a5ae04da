// Sending frames and reading replies over a SerialPort: the pauses and time-outs of each
// exchange, the reply wait, and the block form used for sample and sweep tables.
//
// Nothing here is locked: one thread at a time talks to the port (the user interface
// disables every sending control while a transfer runs).
#pragma once

#include "core/device/clock.h"
#include "core/device/frame.h"
#include "core/device/reply.h"
#include "core/device/serialport.h"
#include "core/device/userinterface.h"

#include <cstdint>
#include <span>

namespace ombrix {

// The kinds of exchange, each with its own pause and reply time-out.
enum class Exchange {
    ConnectionTest,      // SysCheck: pause 300 ms, flush, wait 500 ms
    Command,             // other commands from the main window: flush, pause 100, wait 500
    PanelRunMask,        // run mask from the control panel: flush, pause 100, wait 300
    PanelFrequency,      // frequency from the control panel: pause 100, wait 300
    Block,               // after a sample or sweep block trailer: flush, pause 100, wait 500
    LineSpeed,           // CmdLineSpeed: flush, pause 100, no reply
    LineSpeedAtShutdown, // CmdLineSpeed while shutting down: flush, no reply
};

struct ExchangeTiming {
    bool flushFirst = false; // flush before the pause
    int pauseMs = 0;
    bool flushAfter = false; // flush after the pause
    int replyTimeoutMs = -1; // < 0: no reply is read
};

ExchangeTiming exchangeTiming(Exchange exchange);

// Writes the 12 frame bytes in one write and the 2 trailer bytes in a second.
void writeFrame(SerialPort& port, const CommandFrame& frame);

// writeFrame, then the flush and pause of `exchange`. Reads nothing.
void SendFrame(SerialPort& port, Clock& clock, const CommandFrame& frame, Exchange exchange);

// Waits for one reply of 14 bytes and judges it (judgeReply). Bytes are collected until 14
// have arrived or more than `timeoutMs` milliseconds have passed on `clock` since the start;
// the wait blocks on the port for the remaining time instead of polling. Bytes beyond the
// 14 stay queued for the next wait. The collected bytes are left at the start of the port's
// receive buffer (zeroed first). Any result but ReplyOk is shown in a message box, caption
// "Error", through `ui`.
ReplyResult WaitReply(SerialPort& port, Clock& clock, UserInterface& ui, int timeoutMs);

// SendFrame, then WaitReply with the exchange's time-out; ReplyOk at once for an exchange
// without reply.
ReplyResult Transact(SerialPort& port, Clock& clock, UserInterface& ui, const CommandFrame& frame,
                     Exchange exchange);

// A sample or sweep block: the header without trailer, data words with the CRC running on,
// then the running CRC as trailer. Each write is followed by a flush.
class BlockWriter {
  public:
    explicit BlockWriter(SerialPort& port) : port_(port) {}

    // Writes the 12 header bytes; their CRC starts the running CRC.
    void writeHeader(const CommandFrame& header);
    // Writes one data word (2 bytes, high first) and continues the CRC with its value.
    void writeWord(std::uint16_t word);
    // Writes several words in one write (a sweep step's three timing words).
    void writeWords(std::span<const std::uint16_t> words);
    // Writes the running CRC as the trailer.
    void writeTrailer();
    // Trailer, then the Block exchange's pause and reply wait.
    ReplyResult finish(Clock& clock, UserInterface& ui);

    std::uint16_t runningCrc() const { return crc_; }

  private:
    SerialPort& port_;
    std::uint16_t crc_ = 0xFFFF;
};

} // namespace ombrix
