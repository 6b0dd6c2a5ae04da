#include "core/device/frame.h"

#include "core/device/crc16.h"

#include <algorithm>

namespace ombrix {

CommandFrame::CommandFrame(CommandCode code) {
    bytes[0] = kSyncByte;
    bytes[1] = kSyncByte;
    bytes[2] = code;
    bytes[11] = kEndMarker;
}

std::uint16_t CommandFrame::payloadWord(std::size_t n) const {
    return static_cast<std::uint16_t>((payloadByte(n) << 8) | payloadByte(n + 1));
}

void CommandFrame::setPayloadWord(std::size_t n, std::uint16_t value) {
    setPayloadByte(n, static_cast<std::uint8_t>(value >> 8));
    setPayloadByte(n + 1, static_cast<std::uint8_t>(value & 0xFF));
}

std::uint16_t CommandFrame::crc() const {
    return frameBytesCrc(std::span<const std::uint8_t, 10>(bytes.data() + 2, 10));
}

std::array<std::uint8_t, kTrailerSize> CommandFrame::trailer() const {
    return wordBytes(crc());
}

std::array<std::uint8_t, kReplySize> CommandFrame::wire() const {
    std::array<std::uint8_t, kReplySize> out{};
    std::copy(bytes.begin(), bytes.end(), out.begin());
    const auto t = trailer();
    out[12] = t[0];
    out[13] = t[1];
    return out;
}

bool CommandFrame::isBlockHeader() const {
    if (code() == CmdSamples)
        return true;
    if (code() == CmdSweep)
        return std::any_of(bytes.begin() + 3, bytes.begin() + 11, [](auto b) { return b != 0; });
    return false;
}

std::uint16_t CommandFrame::blockWordCount() const {
    if (!isBlockHeader())
        return 0;
    return code() == CmdSamples ? payloadWord(2) : payloadWord(6);
}

CommandFrame systemFrame(SystemCommand sub) {
    CommandFrame f(CmdSystem);
    f.setPayloadByte(0, sub);
    return f;
}

CommandFrame samplesHeader(std::uint8_t output, std::uint8_t ordinal, std::uint16_t count,
                           std::uint8_t activeMask) {
    CommandFrame f(CmdSamples);
    f.setPayloadByte(0, output);
    f.setPayloadByte(1, ordinal);
    f.setPayloadWord(2, count);
    f.setPayloadByte(4, activeMask);
    return f;
}

CommandFrame frequencyFrame(const TimingWords& words) {
    CommandFrame f(CmdFrequency);
    f.setPayloadWord(0, words.OuterCount);
    f.setPayloadWord(2, words.InnerCount);
    f.setPayloadWord(4, words.Remainder);
    return f;
}

CommandFrame referenceFrame(std::uint16_t code1, std::uint16_t code2) {
    CommandFrame f(CmdReference);
    f.setPayloadWord(0, code1);
    f.setPayloadWord(2, code2);
    return f;
}

CommandFrame runMaskFrame(std::uint8_t runMask, bool closing) {
    CommandFrame f(CmdRunMask);
    f.setPayloadByte(0, runMask & kOutputMaskBits);
    f.setPayloadByte(1, closing ? 1 : 0);
    return f;
}

CommandFrame sweepOffFrame() {
    return CommandFrame(CmdSweep);
}

CommandFrame sweepHeader(SweepMode mode, std::uint16_t cyclesPerMs, std::uint16_t stepTimeMs,
                         std::uint16_t wordCount) {
    CommandFrame f(CmdSweep);
    f.setPayloadByte(0, mode);
    f.setPayloadWord(1, cyclesPerMs);
    f.setPayloadWord(4, stepTimeMs);
    f.setPayloadWord(6, wordCount);
    return f;
}

CommandFrame lineSpeedFrame(std::uint8_t baudIndex, bool returning) {
    CommandFrame f(CmdLineSpeed);
    f.setPayloadByte(0, baudIndex);
    if (returning)
        f.setPayloadWord(1, 0xFFFF);
    return f;
}

CommandFrame frameFromBytes(std::span<const std::uint8_t, kFrameSize> bytes) {
    CommandFrame f;
    std::copy(bytes.begin(), bytes.end(), f.bytes.begin());
    return f;
}

const char* commandName(std::uint8_t code) {
    switch (code) {
    case CmdSystem:
        return "CmdSystem";
    case CmdSamples:
        return "CmdSamples";
    case CmdFrequency:
        return "CmdFrequency";
    case CmdReference:
        return "CmdReference";
    case CmdRunMask:
        return "CmdRunMask";
    case CmdSweep:
        return "CmdSweep";
    case CmdLineSpeed:
        return "CmdLineSpeed";
    default:
        return "Cmd?";
    }
}

} // namespace ombrix
