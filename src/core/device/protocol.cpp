#include "core/device/protocol.h"

#include "core/device/crc16.h"

#include <algorithm>
#include <vector>

namespace ombrix {

ExchangeTiming exchangeTiming(Exchange exchange) {
    switch (exchange) {
    case Exchange::ConnectionTest:
        return {false, 300, true, 500};
    case Exchange::Command:
        return {true, 100, false, 500};
    case Exchange::PanelRunMask:
        return {true, 100, false, 300};
    case Exchange::PanelFrequency:
        return {false, 100, false, 300};
    case Exchange::Block:
        return {true, 100, false, 500};
    case Exchange::LineSpeed:
        return {true, 100, false, -1};
    case Exchange::LineSpeedAtShutdown:
        return {true, 0, false, -1};
    }
    return {};
}

void writeFrame(SerialPort& port, const CommandFrame& frame) {
    port.WritePort(frame.bytes);
    const auto trailer = frame.trailer();
    port.WritePort(trailer);
}

void SendFrame(SerialPort& port, Clock& clock, const CommandFrame& frame, Exchange exchange) {
    writeFrame(port, frame);
    const ExchangeTiming t = exchangeTiming(exchange);
    if (t.flushFirst)
        port.FlushPort();
    clock.Sleep(t.pauseMs);
    if (t.flushAfter)
        port.FlushPort();
}

ReplyResult WaitReply(SerialPort& port, Clock& clock, UserInterface& ui, int timeoutMs) {
    timeoutMs = std::max(timeoutMs, 0);
    SerialPort::ReceiveBuffer collected{};
    std::size_t got = 0;
    const std::uint64_t t0 = clock.Ticks();
    for (;;) {
        // Read no further than one reply, so what follows stays queued for the next wait.
        got += port.ReadInto(collected.data() + got, kReplySize - got);
        if (got >= kReplySize)
            break;
        const std::uint64_t elapsed = clock.Ticks() - t0;
        if (elapsed > static_cast<std::uint64_t>(timeoutMs))
            break;
        // Block until bytes arrive or the time-out is passed by one tick, then read once more.
        const auto remaining =
            static_cast<int>(static_cast<std::uint64_t>(timeoutMs) - elapsed + 1);
        port.WaitReadable(remaining);
    }
    port.receiveBuffer() = collected;
    const ReplyResult result = judgeReply(collected, got);
    if (result != ReplyOk)
        ui.ShowMessage(replyMessage(result), kReplyCaption, MessageIcon::Error);
    return result;
}

ReplyResult Transact(SerialPort& port, Clock& clock, UserInterface& ui, const CommandFrame& frame,
                     Exchange exchange) {
    SendFrame(port, clock, frame, exchange);
    const int timeout = exchangeTiming(exchange).replyTimeoutMs;
    if (timeout < 0)
        return ReplyOk;
    return WaitReply(port, clock, ui, timeout);
}

void BlockWriter::writeHeader(const CommandFrame& header) {
    crc_ = header.crc();
    port_.WritePort(header.bytes);
    port_.FlushPort();
}

void BlockWriter::writeWord(std::uint16_t word) {
    const auto bytes = wordBytes(word);
    port_.WritePort(bytes);
    crc_ = crc16Step(crc_, word);
    port_.FlushPort();
}

void BlockWriter::writeWords(std::span<const std::uint16_t> words) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(words.size() * 2);
    for (std::uint16_t w : words) {
        const auto b = wordBytes(w);
        bytes.insert(bytes.end(), b.begin(), b.end());
    }
    port_.WritePort(bytes);
    crc_ = Crc16Words(words, crc_, true);
    port_.FlushPort();
}

void BlockWriter::writeTrailer() {
    const auto bytes = wordBytes(crc_);
    port_.WritePort(bytes);
    port_.FlushPort();
}

ReplyResult BlockWriter::finish(Clock& clock, UserInterface& ui) {
    writeTrailer();
    const ExchangeTiming t = exchangeTiming(Exchange::Block);
    clock.Sleep(t.pauseMs);
    return WaitReply(port_, clock, ui, t.replyTimeoutMs);
}

} // namespace ombrix
