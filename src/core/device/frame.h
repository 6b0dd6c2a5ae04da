// The device's command frame: 12 bytes (sync AA AA, command code, eight payload bytes, end
// marker 55) followed on the wire by a 2-byte CRC trailer, high byte first. Payload words are
// big-endian. Replies have the same 14-byte shape.
#pragma once

#include "core/model/formsconfig.h" // kOutputCount

#include "core/device/encodings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace ombrix {

inline constexpr std::size_t kFrameSize = 12;
inline constexpr std::size_t kTrailerSize = 2;
inline constexpr std::size_t kReplySize = 14;
inline constexpr std::size_t kPayloadSize = 8;
inline constexpr std::uint8_t kSyncByte = 0xAA;
inline constexpr std::uint8_t kEndMarker = 0x55;

enum CommandCode : std::uint8_t {
    CmdSystem = 0,
    CmdSamples = 1,
    CmdFrequency = 2,
    CmdReference = 3,
    CmdRunMask = 4,
    CmdSweep = 5,
    CmdLineSpeed = 6,
};

// Sub-commands of CmdSystem (payload byte 0).
enum SystemCommand : std::uint8_t {
    SysCheck = 0,
    SysVersion = 2,
    SysReset = 3,
};

// Sweep modes (CmdSweep payload byte 0).
enum SweepMode : std::uint8_t {
    SweepSingle = 1,
    SweepCyclic = 3,
};

// The run-mask bits in use (Output 1..6).
inline constexpr std::uint8_t kOutputMaskBits = 0x3F;

struct CommandFrame {
    std::array<std::uint8_t, kFrameSize> bytes{};

    // Sync, `code`, zero payload, end marker.
    explicit CommandFrame(CommandCode code = CmdSystem);

    CommandCode code() const { return static_cast<CommandCode>(bytes[2]); }
    // Payload byte Pn (frame byte 3 + n), n = 0..7.
    std::uint8_t payloadByte(std::size_t n) const { return bytes.at(3 + n); }
    void setPayloadByte(std::size_t n, std::uint8_t value) { bytes.at(3 + n) = value; }
    // The big-endian word in payload bytes Pn, Pn+1 (n = 0..6).
    std::uint16_t payloadWord(std::size_t n) const;
    void setPayloadWord(std::size_t n, std::uint16_t value);

    // CRC of bytes 2..11 with a fresh start.
    std::uint16_t crc() const;
    // The trailer: crc() high byte, low byte.
    std::array<std::uint8_t, kTrailerSize> trailer() const;
    // The 14 bytes on the wire: frame and trailer.
    std::array<std::uint8_t, kReplySize> wire() const;

    // True when this frame is a block header followed by data words: a CmdSamples header,
    // or a CmdSweep with any non-zero payload.
    bool isBlockHeader() const;
    // Number of data words that follow a block header (0 for other frames).
    std::uint16_t blockWordCount() const;

    bool operator==(const CommandFrame&) const = default;
};

// Word pair big-endian on the wire.
inline std::array<std::uint8_t, 2> wordBytes(std::uint16_t word) {
    return {static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word & 0xFF)};
}

// The frame builders, one per command. Unused payload bytes are 0.
CommandFrame systemFrame(SystemCommand sub);
// `output` 0..5, `ordinal` within the transfer, `count` samples, `activeMask` bit 0 always set.
CommandFrame samplesHeader(std::uint8_t output, std::uint8_t ordinal, std::uint16_t count,
                           std::uint8_t activeMask);
CommandFrame frequencyFrame(const TimingWords& words);
CommandFrame referenceFrame(std::uint16_t code1, std::uint16_t code2);
// `closing`: sent while disconnecting or shutting down.
CommandFrame runMaskFrame(std::uint8_t runMask, bool closing);
// No sweep: all payload zero.
CommandFrame sweepOffFrame();
CommandFrame sweepHeader(SweepMode mode, std::uint16_t cyclesPerMs, std::uint16_t stepTimeMs,
                         std::uint16_t wordCount);
// `returning`: the device is being returned to 9600 baud before the port closes.
CommandFrame lineSpeedFrame(std::uint8_t baudIndex, bool returning);

// A command frame from 12 received bytes; nothing checked.
CommandFrame frameFromBytes(std::span<const std::uint8_t, kFrameSize> bytes);

// Name of a command code for logs ("CmdFrequency"; "Cmd?" for an unknown one).
const char* commandName(std::uint8_t code);

} // namespace ombrix
