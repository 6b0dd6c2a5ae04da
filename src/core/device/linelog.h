// The line log: every frame written to the device and every reply read, decoded into one line
// of text each. LineRecorder is the LineObserver that gathers the writes of a frame (header,
// data words, trailer) into one entry and keeps the last kLineLogCapacity entries; the window
// that shows them polls from the GUI thread while transfers record on the worker thread.
//
// Recording costs one relaxed atomic load a write while it is switched off. While it is on,
// or while the recorder keeps the device image (what a real device acknowledged, see
// sentImage()), the writes of a frame are gathered by the thread that talks to the port and
// the complete frame is decoded and stored under a mutex.
#pragma once

#include "core/device/clock.h"
#include "core/device/protocol.h"
#include "core/device/simgenerator.h"
#include "core/model/devicesettings.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace ombrix {

inline constexpr std::size_t kLineLogCapacity = 10'000;

enum class LineDirection { Sent, Received, Discarded };

struct LineEntry {
    std::uint64_t timeMs = 0; // on the recorder's clock
    LineDirection direction = LineDirection::Sent;
    std::string command; // the command's name, "Reply" or "Stray bytes"
    std::string meaning; // the decoded values
    std::string status;  // a reply's result ("OK", "Time-out", ...); empty for a frame
    long tookMs = -1;    // a reply: time since its frame was written
    bool failure = false;
    std::vector<std::uint16_t> words; // the data words of a sample or sweep block
};

// What the decoding of a frequency frame needs: the samples per period it is played with,
// and the DSP's quartz and fixed instructions.
struct FrameContext {
    double samples = 0;
    double quartzMHz = kDefaultQuartzMHz;
    double instructions = kDefaultInstructions;
};

// The decoded values of a command frame ("Frequency 1000 Hz: 1, 1, 11", "Samples output 2,
// N 1000, mask 0x03", "Reference 8191 / 8191"); a block's data words give its size and
// `crc`, its trailer.
std::string frameMeaning(const CommandFrame& frame, const FrameContext& context,
                         std::size_t wordCount, std::uint16_t crc);

// The result of a reply wait as the log shows it.
const char* replyStatusText(ReplyResult result);

class LineRecorder final : public LineObserver {
  public:
    explicit LineRecorder(Clock& clock);

    // The log is kept while on; off, writes and replies pass by (the image still follows).
    void setLogging(bool on);
    bool logging() const { return logging_.load(std::memory_order_relaxed); }
    // While on, every frame the device acknowledges is applied to sentImage().
    void setImaging(bool on);
    // Quartz, instructions and samples per period (until a sample block tells; none when 0)
    // for decoding frequency frames.
    void setContext(double quartzMHz, double instructions, double samples = 0);

    // Number of entries ever recorded (cleared ones included): a cursor for entriesSince.
    std::uint64_t recorded() const;
    // The entries recorded after `cursor` that are still kept.
    std::vector<LineEntry> entriesSince(std::uint64_t cursor) const;
    std::vector<LineEntry> entries() const { return entriesSince(0); }
    void clear();

    // The generator's state as the frames the device acknowledged set it.
    SimState sentImage() const;
    // Forgets the image (a new connection to another device).
    void resetImage();

    // LineObserver
    void BytesWritten(std::span<const std::uint8_t> bytes) override;
    void ReplyRead(std::span<const std::uint8_t> bytes, ReplyResult result) override;
    void BytesDiscarded(std::span<const std::uint8_t> bytes) override;

  private:
    bool active() const {
        return logging_.load(std::memory_order_relaxed) || imaging_.load(std::memory_order_relaxed);
    }
    void setActive(std::atomic<bool>& flag, bool on);
    void completeFrame();
    void append(LineEntry entry);

    Clock& clock_;
    std::atomic<bool> logging_{false};
    std::atomic<bool> imaging_{false};
    mutable std::mutex mutex_;
    std::deque<LineEntry> entries_;
    std::uint64_t recorded_ = 0;
    FrameContext context_;
    // The frame being written: touched only by the thread that talks to the port.
    std::vector<std::uint8_t> pending_;
    std::size_t pendingSize_ = 0;       // its whole size, header, words and trailer
    std::atomic<unsigned> restarts_{0}; // times recording was switched on
    unsigned restartsSeen_ = 0;
    std::vector<std::uint8_t> unanswered_; // the last complete frame, until its reply (image)
    std::uint64_t frameTimeMs_ = 0;
    SimGenerator image_;
};

} // namespace ombrix
