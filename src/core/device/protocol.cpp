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

namespace {

constexpr std::uint64_t kNsPerMs = 1'000'000;

// Every write passes here: its line time is added to the line's book (10 bits a byte, from
// the moment the write begins or the line is free, whichever is later).
void writeOnLine(SerialPort& port, Clock& clock, std::span<const std::uint8_t> bytes) {
    if (const int baud = port.LineBaud(); baud > 0) {
        SerialPort::LineBook& book = port.lineBook();
        const std::uint64_t now = clock.Ticks() * kNsPerMs;
        book.clearAtNs = std::max(book.clearAtNs, now) +
                         bytes.size() * 10ULL * 1'000'000'000ULL / static_cast<std::uint64_t>(baud);
    }
    if (LineObserver* observer = port.lineObserver())
        observer->BytesWritten(bytes);
    port.WritePort(bytes);
}

// Milliseconds until everything written has left the line (0 when it has).
int msUntilLineClear(SerialPort& port, Clock& clock) {
    const std::uint64_t now = clock.Ticks() * kNsPerMs;
    const std::uint64_t clearAt = port.lineBook().clearAtNs;
    if (clearAt <= now)
        return 0;
    return static_cast<int>((clearAt - now + kNsPerMs - 1) / kNsPerMs);
}

void waitLineClear(SerialPort& port, Clock& clock) {
    if (const int ms = msUntilLineClear(port, clock); ms > 0)
        clock.Sleep(ms);
}

// Every stray byte passes here: read and thrown away. Returns how many.
std::size_t discardWaiting(SerialPort& port) {
    SerialPort::ReceiveBuffer scratch{};
    std::size_t total = 0;
    while (const std::size_t n = port.ReadInto(scratch.data(), scratch.size())) {
        if (LineObserver* observer = port.lineObserver())
            observer->BytesDiscarded(std::span<const std::uint8_t>(scratch.data(), n));
        total += n;
    }
    return total;
}

// Before a frame goes out: the rest of a reply that missed its time-out is awaited and thrown
// away, then whatever else waits.
void clearLineForFrame(SerialPort& port, Clock& clock) {
    SerialPort::LineBook& book = port.lineBook();
    std::size_t owed = book.owedBytes;
    book.owedBytes = 0;
    bool woken = false;
    while (owed > 0 && port.IsOpen()) {
        const std::size_t n = discardWaiting(port);
        owed -= std::min(owed, n);
        const std::uint64_t now = clock.Ticks();
        // A port that wakes the wait and then has nothing to read (a hung-up line) ends it.
        if (owed == 0 || now >= book.owedUntilMs || (woken && n == 0))
            break;
        woken = port.WaitReadable(static_cast<int>(book.owedUntilMs - now));
    }
    discardWaiting(port);
}

// Where the reply lies among the bytes a wait has seen: from its frame start, and when no
// byte can begin one, from the first byte (a device whose sync bytes are not AA AA is judged on
// the bytes as they came, once 14 of them or the time-out are there).
std::size_t replyFrom(std::span<const std::uint8_t> seen) {
    const std::size_t start = findReplyStart(seen);
    return start < seen.size() ? start : 0;
}

// The reply wait itself; `got` is the number of reply bytes collected from its frame start.
ReplyResult collectReply(SerialPort& port, Clock& clock, UserInterface& ui, int timeoutMs,
                         std::size_t& got) {
    timeoutMs = std::max(timeoutMs, 0);
    // The time-out counts from the moment the frame has left the line, not from a write that
    // returned while an adapter still held the bytes.
    waitLineClear(port, clock);
    std::vector<std::uint8_t> seen;
    seen.reserve(2 * kReplySize);
    std::size_t from = 0;
    const std::uint64_t t0 = clock.Ticks();
    for (;;) {
        // Read no further than one reply from where it may begin: what follows is no part of it.
        const std::size_t had = seen.size();
        const std::size_t want = from + kReplySize - had;
        seen.resize(had + want);
        seen.resize(had + port.ReadInto(seen.data() + had, want));
        from = replyFrom(seen);
        if (seen.size() >= from + kReplySize)
            break;
        const std::uint64_t elapsed = clock.Ticks() - t0;
        if (elapsed > static_cast<std::uint64_t>(timeoutMs))
            break;
        // Block until bytes arrive or the time-out is passed by one tick, then read once more.
        const auto remaining =
            static_cast<int>(static_cast<std::uint64_t>(timeoutMs) - elapsed + 1);
        port.WaitReadable(remaining);
    }
    // Line noise before the frame start, the reply, and (only when a frame start seen in the
    // first bytes came to nothing) bytes read past the reply taken from the first byte.
    const std::size_t end = std::min(seen.size(), from + kReplySize);
    const std::span<const std::uint8_t> all(seen);
    const auto stray = all.first(from);
    const auto reply = all.subspan(from, end - from);
    const auto beyond = all.subspan(end);
    SerialPort::ReceiveBuffer collected{};
    std::copy(reply.begin(), reply.end(), collected.begin());
    port.receiveBuffer() = collected;
    got = reply.size();
    const ReplyResult result = judgeReply(collected, got);
    if (LineObserver* observer = port.lineObserver()) {
        if (!stray.empty())
            observer->BytesDiscarded(stray);
        observer->ReplyRead(reply, result);
        if (!beyond.empty())
            observer->BytesDiscarded(beyond);
    }
    if (result != ReplyOk)
        ui.ShowMessage(replyMessage(result), kReplyCaption, MessageIcon::Error);
    return result;
}

} // namespace

void writeFrame(SerialPort& port, Clock& clock, const CommandFrame& frame) {
    clearLineForFrame(port, clock);
    writeOnLine(port, clock, frame.bytes);
    const auto trailer = frame.trailer();
    writeOnLine(port, clock, trailer);
}

void SendFrame(SerialPort& port, Clock& clock, const CommandFrame& frame, Exchange exchange) {
    writeFrame(port, clock, frame);
    waitLineClear(port, clock);
    const ExchangeTiming t = exchangeTiming(exchange);
    if (t.flushFirst)
        port.FlushPort();
    clock.Sleep(t.pauseMs);
    if (t.flushAfter)
        port.FlushPort();
}

ReplyResult WaitReply(SerialPort& port, Clock& clock, UserInterface& ui, int timeoutMs) {
    std::size_t got = 0;
    return collectReply(port, clock, ui, timeoutMs, got);
}

ReplyResult ReadReply(SerialPort& port, Clock& clock, UserInterface& ui, int timeoutMs) {
    std::size_t got = 0;
    const ReplyResult result = collectReply(port, clock, ui, timeoutMs, got);
    std::size_t missing = kReplySize - got;
    missing -= std::min(missing, discardWaiting(port));
    SerialPort::LineBook& book = port.lineBook();
    book.owedBytes = missing;
    book.owedUntilMs = clock.Ticks() + static_cast<std::uint64_t>(std::max(timeoutMs, 0));
    return result;
}

ReplyResult Transact(SerialPort& port, Clock& clock, UserInterface& ui, const CommandFrame& frame,
                     Exchange exchange) {
    SendFrame(port, clock, frame, exchange);
    const int timeout = exchangeTiming(exchange).replyTimeoutMs;
    if (timeout < 0)
        return ReplyOk;
    return ReadReply(port, clock, ui, timeout);
}

void BlockWriter::keepPace() {
    const int ahead = msUntilLineClear(port_, clock_);
    if (ahead > kBlockLeadMs)
        clock_.Sleep(ahead - kBlockLeadMs / 2);
}

void BlockWriter::writeHeader(const CommandFrame& header) {
    clearLineForFrame(port_, clock_);
    crc_ = header.crc();
    writeOnLine(port_, clock_, header.bytes);
    port_.FlushPort();
}

void BlockWriter::writeWord(std::uint16_t word) {
    keepPace();
    const auto bytes = wordBytes(word);
    writeOnLine(port_, clock_, bytes);
    crc_ = crc16Step(crc_, word);
    port_.FlushPort();
}

void BlockWriter::writeWords(std::span<const std::uint16_t> words) {
    keepPace();
    std::vector<std::uint8_t> bytes;
    bytes.reserve(words.size() * 2);
    for (std::uint16_t w : words) {
        const auto b = wordBytes(w);
        bytes.insert(bytes.end(), b.begin(), b.end());
    }
    writeOnLine(port_, clock_, bytes);
    crc_ = Crc16Words(words, crc_, true);
    port_.FlushPort();
}

void BlockWriter::writeTrailer() {
    const auto bytes = wordBytes(crc_);
    writeOnLine(port_, clock_, bytes);
    port_.FlushPort();
}

ReplyResult BlockWriter::finish(UserInterface& ui) {
    writeTrailer();
    waitLineClear(port_, clock_);
    const ExchangeTiming t = exchangeTiming(Exchange::Block);
    clock_.Sleep(t.pauseMs);
    return ReadReply(port_, clock_, ui, t.replyTimeoutMs);
}

} // namespace ombrix
