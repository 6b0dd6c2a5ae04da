// Properties the fuzz targets check on arbitrary input. Each check decodes the bytes into one
// call sequence of a core component and returns an empty string when every property held,
// otherwise what failed. The libFuzzer targets abort on a failure; the regression test replays
// the stored corpora through the same checks in the normal build.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace ombrix::fuzz {

using Bytes = std::span<const std::uint8_t>;

// Settings-file codec. Byte 0: bit 0 picks the decimal separator ("," when set, else "."),
// bit 1 fits the rest to the image size (cut, or padded with zeros); the rest is the image.
// A faulty image leaves the forms untouched; a good one re-encodes and decodes to the same
// forms (equations with their line breaks removed, as the file stores them).
std::string checkSettingsFile(Bytes data);

// Formula parser and evaluator. Bytes 0..9: X as an 80-bit extended value; byte 10: bit 0
// picks the separator; the rest is the formula. Parsing either builds a tree or throws
// CalcError leaving none; nesting deeper than the limit is always refused; evaluation returns
// the same value twice or throws CalcError, and leaves no failure flag raised.
std::string checkCalcExpress(Bytes data);

// Reply judge and reply wait on a scripted port. Byte 0: time-out (4 ms steps); byte 1: number
// of waits (1..8); then chunks of [delay ms][length][bytes] delivered at growing ticks. Each
// wait tells the line observer of every byte it takes, in order: stray bytes only before a
// reply that begins at its sync bytes, then at most one reply's bytes, judged as judgeReply
// does; it reports every failure once and leaves bytes that came too late queued. Besides, the
// first data[0] % 14 bytes as noise before a good reply cost nothing unless they hold a frame
// start of their own.
std::string checkReply(Bytes data);

// Simulated generator's frame decoder. Byte 0: bits 0..4 chunk size (0: all at once), bit 5
// signals an idle line after each chunk, bits 6..7 pick a reply fault; the rest is the byte
// stream. Replies are whole and well formed, and without idle signals the result does not
// depend on how the stream is cut.
std::string checkSimGenerator(Bytes data);

// Line recorder. Byte 0: bit 0 logging, bit 1 imaging at the start; then operations, each a
// byte whose bits 0..1 pick the kind and bits 2..7 give a size n: 0 writes n bytes in one write;
// 1 writes a frame (code, eight payload bytes, a cut byte, n data words) whose words and trailer
// go out in pieces the cut byte chooses; 2 delivers n bytes (n < 48) in pieces and reads one
// reply as the link does, or (n >= 48) tells the recorder of a reply or stray bytes directly;
// 3 switches logging or imaging, clears, changes the decoding context or advances the clock.
// The log shows every stray and reply byte as it was told, a reply wait tells of every byte it
// took off the line in order, and neither log nor image depends on how a frame's words and
// trailer are cut.
std::string checkLineLog(Bytes data);

// SCPI line parser. The bytes are one line. Every command read is in the table, in a form the
// table has, with its suffixes in range; a closing '\r' changes nothing; a fault has a code and
// its answer is one line; the error queue stays within its capacity.
std::string checkScpi(Bytes data);

struct Target {
    const char* name; // the corpus folder and the fuzz binary's suffix
    std::string (*check)(Bytes);
};

inline constexpr std::array<Target, 6> kTargets = {{
    {"settingsfile", checkSettingsFile},
    {"calcexpress", checkCalcExpress},
    {"reply", checkReply},
    {"simgenerator", checkSimGenerator},
    {"linelog", checkLineLog},
    {"scpi", checkScpi},
}};

} // namespace ombrix::fuzz
