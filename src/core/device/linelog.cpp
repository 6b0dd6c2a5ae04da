#include "core/device/linelog.h"

#include "core/device/playback.h"

#include <cstdarg>
#include <cstdio>

namespace ombrix {

namespace {

std::string format(const char* pattern, ...) {
    char buffer[256];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(buffer, sizeof buffer, pattern, args);
    va_end(args);
    return buffer;
}

std::string hexBytes(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (std::uint8_t b : bytes)
        text += format(text.empty() ? "%02X" : " %02X", b);
    return text;
}

const char* systemText(std::uint8_t sub) {
    switch (sub) {
    case SysCheck:
        return "Check connection";
    case SysVersion:
        return "Program version";
    case SysReset:
        return "Reset";
    default:
        return "System";
    }
}

} // namespace

std::string frameMeaning(const CommandFrame& f, const FrameContext& context, std::size_t wordCount,
                         std::uint16_t crc) {
    const std::string block = format("; %zu words, CRC 0x%04X", wordCount, crc);
    switch (f.code()) {
    case CmdSystem:
        return format("%s (%u)", systemText(f.payloadByte(0)), f.payloadByte(0));
    case CmdSamples:
        return format("Samples output %d, N %u, mask 0x%02X", f.payloadByte(0) + 1,
                      f.payloadWord(2), f.payloadByte(4)) +
               block;
    case CmdFrequency: {
        const TimingWords words{f.payloadWord(0), f.payloadWord(2), f.payloadWord(4)};
        const std::string codes =
            format("%u, %u, %u", words.OuterCount, words.InnerCount, words.Remainder);
        if (context.samples <= 0)
            return "Frequency: " + codes;
        const double hz =
            frequencyFromWords(words, context.samples, context.quartzMHz, context.instructions);
        return format("Frequency %.10g Hz: ", hz) + codes;
    }
    case CmdReference:
        return format("Reference %u / %u", f.payloadWord(0), f.payloadWord(2));
    case CmdRunMask:
        return format("Run mask 0x%02X%s", f.payloadByte(0),
                      f.payloadByte(1) == 1 ? ", closing" : "");
    case CmdSweep:
        if (!f.isBlockHeader())
            return "Sweep off";
        return format("Sweep %s, %u cycles/ms, step %u ms",
                      f.payloadByte(0) == SweepCyclic ? "cyclic" : "single", f.payloadWord(1),
                      f.payloadWord(4)) +
               block;
    case CmdLineSpeed:
        return format("Line speed %d baud%s", baudForIndex(f.payloadByte(0)),
                      f.payloadWord(1) == 0xFFFF ? ", returning" : "");
    default:
        return format("Code %u", f.code());
    }
}

const char* replyStatusText(ReplyResult result) {
    switch (result) {
    case ReplyOk:
        return "OK";
    case ReplyCrcInvalid:
        return "CRC invalid";
    case ReplyTimeout:
        return "Time-out";
    case ReplyBadFormat:
        return "Bad format";
    }
    return "?";
}

LineRecorder::LineRecorder(Clock& clock) : clock_(clock) {}

void LineRecorder::setLogging(bool on) {
    setActive(logging_, on);
}

void LineRecorder::setImaging(bool on) {
    setActive(imaging_, on);
}

void LineRecorder::setActive(std::atomic<bool>& flag, bool on) {
    const bool wasActive = active();
    flag.store(on, std::memory_order_relaxed);
    // Writes passed by while off: a frame begun then is not completed from its tail.
    if (on && !wasActive)
        restarts_.fetch_add(1, std::memory_order_relaxed);
}

void LineRecorder::setContext(double quartzMHz, double instructions, double samples) {
    std::lock_guard lock(mutex_);
    if (samples > 0)
        context_.samples = samples;
    context_.quartzMHz = quartzMHz;
    context_.instructions = instructions;
}

std::uint64_t LineRecorder::recorded() const {
    std::lock_guard lock(mutex_);
    return recorded_;
}

std::vector<LineEntry> LineRecorder::entriesSince(std::uint64_t cursor) const {
    std::lock_guard lock(mutex_);
    const std::uint64_t first = recorded_ - entries_.size();
    const std::uint64_t from = std::max(cursor, first);
    if (from >= recorded_)
        return {};
    return {entries_.begin() + static_cast<std::ptrdiff_t>(from - first), entries_.end()};
}

void LineRecorder::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

SimState LineRecorder::sentImage() const {
    std::lock_guard lock(mutex_);
    return image_.state();
}

void LineRecorder::resetImage() {
    std::lock_guard lock(mutex_);
    image_ = SimGenerator();
    unanswered_.clear();
}

void LineRecorder::append(LineEntry entry) {
    if (!logging_.load(std::memory_order_relaxed))
        return;
    entries_.push_back(std::move(entry));
    if (entries_.size() > kLineLogCapacity)
        entries_.pop_front();
    ++recorded_;
}

void LineRecorder::BytesWritten(std::span<const std::uint8_t> bytes) {
    if (!active())
        return;
    // The frame in hand belongs to the thread that talks to the port: gathered without the
    // lock, which only a complete frame takes.
    if (const unsigned r = restarts_.load(std::memory_order_relaxed); r != restartsSeen_) {
        restartsSeen_ = r;
        pending_.clear();
    }
    if (pending_.empty()) {
        // Every frame starts with a write of its 12 header bytes; the writes of a frame that
        // was under way when recording began are let pass.
        if (bytes.size() != kFrameSize || bytes[0] != kSyncByte || bytes[1] != kSyncByte)
            return;
        const CommandFrame header =
            frameFromBytes(std::span<const std::uint8_t, kFrameSize>(bytes.data(), kFrameSize));
        pendingSize_ = kFrameSize + 2 * std::size_t{header.blockWordCount()} + kTrailerSize;
        pending_.reserve(pendingSize_);
    }
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    if (pending_.size() >= pendingSize_) {
        std::lock_guard lock(mutex_);
        completeFrame();
    }
}

void LineRecorder::completeFrame() {
    const CommandFrame header =
        frameFromBytes(std::span<const std::uint8_t, kFrameSize>(pending_.data(), kFrameSize));
    const std::size_t count = header.blockWordCount();
    LineEntry entry{
        clock_.Ticks(), LineDirection::Sent, commandName(header.code()), "", "", -1, false, {}};
    entry.words.reserve(count);
    for (std::size_t k = 0; k < count; ++k)
        entry.words.push_back(static_cast<std::uint16_t>(pending_[kFrameSize + 2 * k] << 8 |
                                                         pending_[kFrameSize + 2 * k + 1]));
    const std::size_t t = kFrameSize + 2 * count;
    const auto crc = static_cast<std::uint16_t>(pending_[t] << 8 | pending_[t + 1]);
    if (header.code() == CmdSamples)
        context_.samples = header.payloadWord(2);
    entry.meaning = frameMeaning(header, context_, count, crc);
    frameTimeMs_ = entry.timeMs;
    append(std::move(entry));

    // Kept for the image until the device's answer; the log itself needs no copy.
    if (imaging_.load(std::memory_order_relaxed))
        unanswered_.assign(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(t + 2));
    else
        unanswered_.clear();
    pending_.clear();
    // A line-speed frame gets no answer; the image takes it as sent.
    if (header.code() == CmdLineSpeed) {
        if (imaging_.load(std::memory_order_relaxed)) {
            image_.receive(unanswered_);
            image_.takeOutput();
        }
        unanswered_.clear();
    }
}

void LineRecorder::ReplyRead(std::span<const std::uint8_t> bytes, ReplyResult result) {
    if (!active())
        return;
    std::lock_guard lock(mutex_);
    if (result == ReplyOk && !unanswered_.empty() && imaging_.load(std::memory_order_relaxed)) {
        image_.receive(unanswered_);
        image_.takeOutput();
    }
    unanswered_.clear();
    const std::uint64_t now = clock_.Ticks();
    std::string meaning = bytes.empty() ? "nothing received" : hexBytes(bytes);
    if (bytes.size() >= kReplySize && result == ReplyOk)
        meaning = format("status %u", bytes[3]) +
                  (bytes[4] != 0 ? ", \"" + versionText(bytes) + "\"" : "");
    append({now,
            LineDirection::Received,
            "Reply",
            std::move(meaning),
            replyStatusText(result),
            static_cast<long>(now - frameTimeMs_),
            result != ReplyOk,
            {}});
}

void LineRecorder::BytesDiscarded(std::span<const std::uint8_t> bytes) {
    if (!active())
        return;
    std::lock_guard lock(mutex_);
    append({clock_.Ticks(),
            LineDirection::Discarded,
            "Stray bytes",
            format("%zu discarded: ", bytes.size()) + hexBytes(bytes),
            "",
            -1,
            true,
            {}});
}

} // namespace ombrix
