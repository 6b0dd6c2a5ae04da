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

// Where every byte of the line passes: each write (frame, block header, data words, trailer),
// each reply a wait collected, and each stray byte thrown away. Attached to a port with
// SerialPort::setLineObserver; called on the thread that talks to the port (the user
// interface's or the transfer's), so an observer that shows a window hands the calls over.
class LineObserver {
  public:
    virtual ~LineObserver() = default;
    virtual void BytesWritten(std::span<const std::uint8_t> bytes) = 0;
    // The bytes a reply wait collected (none on a time-out) and how they were judged.
    virtual void ReplyRead(std::span<const std::uint8_t> bytes, ReplyResult result) = 0;
    // Bytes that answer no question of ours: waiting before a frame is written, line noise
    // before a reply's frame start, left over after a reply was judged, or the rest of a reply
    // that missed its time-out.
    virtual void BytesDiscarded(std::span<const std::uint8_t> bytes) = 0;
};

// Writes the 12 frame bytes in one write and the 2 trailer bytes in a second. Before that the
// line is cleared of whatever waits, so that no earlier byte can be taken for this frame's
// reply; after a reply that did not come complete in time, its rest is first waited for (up
// to that reply's time-out once more) and thrown away with it.
void writeFrame(SerialPort& port, Clock& clock, const CommandFrame& frame);

// writeFrame, then, once the frame has left the line (its line time at the port's LineBaud
// counted from the start of the write, as a native port's write takes it), the flush and
// pause of `exchange`. Reads nothing.
void SendFrame(SerialPort& port, Clock& clock, const CommandFrame& frame, Exchange exchange);

// Waits for one reply of 14 bytes and judges it (judgeReply). The reply begins at its frame
// start (findReplyStart): bytes that arrive before it are line noise, discarded and reported to
// the line observer, and cost nothing. Bytes are collected until 14 have arrived from the frame
// start or more than `timeoutMs` milliseconds have passed on `clock` since the start, which is
// no earlier than the moment everything written has left the line; the wait blocks on the port
// for the remaining time instead of polling. When none of the first 14 bytes can begin a
// reply, they are judged as they came. Reads no byte beyond the reply, save those read for a
// frame start that came to nothing after the 14th byte (discarded and reported). The reply is left
// at the start of the port's receive buffer (zeroed first). Any result but ReplyOk is shown in a
// message box, caption "Error", through `ui`.
ReplyResult WaitReply(SerialPort& port, Clock& clock, UserInterface& ui, int timeoutMs);

// The reply to the frame just written: WaitReply, then whatever is left on the line is thrown
// away; a reply that did not come complete in time is owed, and its rest is thrown away before
// the next frame (see writeFrame), so a late reply never answers a later question.
ReplyResult ReadReply(SerialPort& port, Clock& clock, UserInterface& ui, int timeoutMs);

// SendFrame, then ReadReply with the exchange's time-out; ReplyOk at once for an exchange
// without reply.
ReplyResult Transact(SerialPort& port, Clock& clock, UserInterface& ui, const CommandFrame& frame,
                     Exchange exchange);

// A sample or sweep block: the header without trailer, data words with the CRC running on,
// then the running CRC as trailer. Each write is followed by a flush. On a port whose writes
// return before the bytes have left, the writer keeps no more than kBlockLeadMs ahead of the
// line (enough to ride out a busy machine), so the progress follows the line and a stop is
// not queued behind a long block.
class BlockWriter {
  public:
    static constexpr int kBlockLeadMs = 50;

    BlockWriter(SerialPort& port, Clock& clock) : port_(port), clock_(clock) {}

    // Clears the line as writeFrame does, then writes the 12 header bytes; their CRC starts
    // the running CRC.
    void writeHeader(const CommandFrame& header);
    // Writes one data word (2 bytes, high first) and continues the CRC with its value.
    void writeWord(std::uint16_t word);
    // Writes several words in one write (a sweep step's three timing words).
    void writeWords(std::span<const std::uint16_t> words);
    // Writes the running CRC as the trailer.
    void writeTrailer();
    // Trailer, then the Block exchange's pause (once the block has left the line) and
    // ReadReply.
    ReplyResult finish(UserInterface& ui);

    std::uint16_t runningCrc() const { return crc_; }

  private:
    void keepPace();

    SerialPort& port_;
    Clock& clock_;
    std::uint16_t crc_ = 0xFFFF;
};

} // namespace ombrix
