// The 16-bit CRC of the device frames: polynomial constant 0x8005 applied while shifting
// RIGHT (not its bit reverse 0xA001), over whole 16-bit words, start value 0xFFFF.
#pragma once

#include <cstdint>
#include <span>

namespace ombrix {

inline constexpr std::uint16_t kCrcStart = 0xFFFF;
inline constexpr std::uint16_t kCrcPolynomial = 0x8005;

// Continues `running` with one word.
std::uint16_t crc16Step(std::uint16_t running, std::uint16_t word);

// CRC of `words`, starting at 0xFFFF, or at `running` when `continueRunning` is set.
std::uint16_t Crc16Words(std::span<const std::uint16_t> words, std::uint16_t running = kCrcStart,
                         bool continueRunning = false);

// CRC of the ten frame bytes 2..11 taken as five little-endian words, fresh start.
// `bytes` must hold exactly 10 bytes.
std::uint16_t frameBytesCrc(std::span<const std::uint8_t, 10> bytes);

} // namespace ombrix
