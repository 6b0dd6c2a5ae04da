// The simulated generator: the device side of the frame protocol as a byte stream in,
// replies out. It decodes command frames and sample/sweep blocks, checks their CRC (a
// mismatch is answered with status 1), answers every command that expects a reply with a
// correct 14-byte reply, switches its line speed on CmdLineSpeed without a reply, and keeps
// what it was sent: run mask, timing words, reference codes, samples per output and the sweep.
//
// Not thread-safe; SimPort serialises access. Reply faults can be injected for tests.
#pragma once

#include "core/device/encodings.h"
#include "core/device/frame.h"
#include "core/model/devicesettings.h"

#include <array>
#include <cstdint>
#include <functional>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace ombrix {

struct SimSettings {
    double quartzMHz = kDefaultQuartzMHz;       // the DSP quartz the timing words are played with
    double instructions = kDefaultInstructions; // fixed DSP instructions per sample
    std::string version = "SIM 1.0";            // at most 7 characters are reported
};

// Faults of the device and of its line. The reply faults change only what is sent back; the
// frames are still decoded and applied. A garbled frame is rejected as one with a wrong CRC.
struct SimFaults {
    bool silent = false;     // never reply
    bool badCrc = false;     // reply with a wrong CRC
    bool badFormat = false;  // reply with byte 2 = 1 (CRC matching the bad bytes)
    std::uint8_t status = 0; // status byte of every reply when not 0
    long stopAfter = -1;     // reply to this many frames, then stay silent (< 0: always)
    long noiseEvery = 0;     // one random byte of line noise before every Nth reply (0: none)
    double garble = 0;       // fraction 0..1 of received frames with one bit of their CRC flipped
    std::uint32_t seed = 1;  // of the random noise bytes and garbled bits
};

// Device status byte values of this simulator.
inline constexpr std::uint8_t kStatusAccepted = 0;
inline constexpr std::uint8_t kStatusCrcMismatch = 1;
inline constexpr std::uint8_t kStatusRefused = 2; // unknown command or output index

// What the device holds.
struct SimState {
    int baudIndex = 4; // the line speed index it listens at (any other than 0..7 is 9600)
    std::uint8_t runMask = 0;
    bool runMaskClosing = false; // the last run mask came with the closing flag
    bool timingSet = false;
    TimingWords timing;
    std::uint16_t referenceCode1 = 8191; // 4096 mV until told otherwise
    std::uint16_t referenceCode2 = 8191;
    std::uint8_t activeMask = 0;
    std::array<std::vector<std::uint16_t>, kOutputCount> samples; // codes per output
    std::uint8_t sweepMode = 0; // 0 = no sweep, 1 single pass, 3 cyclic
    std::uint16_t sweepCyclesPerMs = 0;
    std::uint16_t sweepStepTimeMs = 0;
    std::vector<std::uint16_t> sweepTable;
    std::uint64_t framesDecoded = 0;
    std::uint64_t framesRejected = 0; // CRC mismatches
    std::uint64_t repliesSent = 0;
    std::uint64_t noiseBytes = 0; // bytes dropped while looking for a frame start
    std::uint64_t noiseSent = 0;  // random bytes sent before replies (SimFaults::noiseEvery)
    std::uint64_t framesGarbled = 0;

    bool operator==(const SimState&) const = default;
};

// One decoded frame, for logs and tests.
struct SimFrameEvent {
    CommandFrame header;
    std::vector<std::uint16_t> words; // block data words
    bool crcOk = false;
    bool truncated = false; // a block that ended before its declared word count
    bool replied = false;
    bool garbled = false; // one bit of its CRC was flipped on the line
    std::array<std::uint8_t, kReplySize> reply{};
    std::string text; // one-line decoded description
};

class SimGenerator {
  public:
    explicit SimGenerator(SimSettings settings = {});

    // Feeds received bytes; replies become available through takeOutput().
    void receive(std::span<const std::uint8_t> bytes);

    // The line has been quiet: a block that stopped short of its declared word count (the PC
    // side was stopped) ends here, its last word taken as the trailer.
    void lineIdle();

    // True while a frame or block is partly received.
    bool midFrame() const { return phase_ != Phase::Header || !header_.empty(); }

    // Reply bytes produced since the last call.
    std::vector<std::uint8_t> takeOutput();
    // The same, one element per reply (with the noise byte sent before it, if any).
    std::vector<std::vector<std::uint8_t>> takeReplies();

    const SimState& state() const { return state_; }
    const SimSettings& settings() const { return settings_; }
    SimFaults& faults() { return faults_; }
    const SimFaults& faults() const { return faults_; }

    int baud() const;

    // Reference voltages [mV] the held codes stand for (1: outputs 1-2, 2: outputs 3-6).
    double referenceMillivolts1() const;
    double referenceMillivolts2() const;
    // The held samples of output 0..5 in volts.
    std::vector<double> outputVolts(int output) const;
    // Frequency [Hz] the held timing words give with the samples of the first active output
    // (0 when there are no timing words or no samples).
    double playedFrequency() const;

    // Called for every decoded frame.
    void setFrameListener(std::function<void(const SimFrameEvent&)> listener) {
        listener_ = std::move(listener);
    }

  private:
    enum class Phase { Header, Data, Trailer };

    void feed(std::uint8_t byte);
    void resyncHeader();
    void startFrame();
    void completeFrame(bool crcOk, bool truncated);
    std::uint8_t apply(SimFrameEvent& event, bool& replies);
    void reset();
    std::array<std::uint8_t, kReplySize> buildReply(std::uint8_t status,
                                                    std::span<const std::uint8_t> data) const;
    std::string describe(const SimFrameEvent& event) const;
    std::uint32_t draw();

    SimSettings settings_;
    SimFaults faults_;
    SimState state_;
    Phase phase_ = Phase::Header;
    std::vector<std::uint8_t> header_;
    CommandFrame frame_;
    std::vector<std::uint16_t> words_;
    std::size_t wordsExpected_ = 0;
    std::vector<std::uint8_t> partial_; // bytes of the current word or trailer
    std::uint16_t crc_ = 0;
    std::uint16_t crcBeforeLastWord_ = 0;
    std::vector<std::vector<std::uint8_t>> output_;
    std::mt19937 random_;
    std::uint32_t randomSeed_ = 0;
    bool seeded_ = false;
    bool garbled_ = false; // the frame in hand had a bit flipped
    std::function<void(const SimFrameEvent&)> listener_;
};

} // namespace ombrix
