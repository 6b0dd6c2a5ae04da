#include "core/device/crc16.h"

#include <array>

namespace ombrix {

std::uint16_t crc16Step(std::uint16_t running, std::uint16_t word) {
    std::uint16_t reg = running ^ word;
    for (int bit = 0; bit < 16; ++bit) {
        if (reg & 1U)
            reg = static_cast<std::uint16_t>((reg >> 1) ^ kCrcPolynomial);
        else
            reg = static_cast<std::uint16_t>(reg >> 1);
    }
    return reg;
}

std::uint16_t Crc16Words(std::span<const std::uint16_t> words, std::uint16_t running,
                         bool continueRunning) {
    std::uint16_t reg = continueRunning ? running : kCrcStart;
    for (std::uint16_t w : words)
        reg = crc16Step(reg, w);
    return reg;
}

std::uint16_t frameBytesCrc(std::span<const std::uint8_t, 10> bytes) {
    std::array<std::uint16_t, 5> words{};
    // The device reads the covered bytes as little-endian words.
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return Crc16Words(words);
}

} // namespace ombrix
