// Sample export: the latest period of every active output as a CSV text or a WAV image.
//
// Both writers check their input first and refuse it with a one-sentence reason instead of
// producing a file that would be wrong: at least one output must be active, and every active
// output must hold the same number of samples N >= 1. Inactive outputs are ignored whatever
// they hold. Sample values are volts, as the sample store keeps them.
#pragma once

#include "core/model/formsconfig.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ombrix {

using ExportSamples = std::array<std::vector<double>, kOutputCount>; // index 0..5 = Output 1..6
using ExportFlags = std::array<bool, kOutputCount>;

// Appends `v` as Export writes a sample: "." whatever the process locale, the shortest text
// that reads back to the same double, "nan", "inf" or "-inf" when it is not finite.
void appendSampleText(std::string& out, double v);

// Header of an output's column or channel name: "Output 1 [V]".
std::string exportColumnName(int output);

// CSV: a header row with the active outputs' names ("Output 1 [V],Output 3 [V]"), then one
// row per sample j = 0..N-1 with one column per active output, in output order. Fields are
// separated by ",", rows end with "\n". Numbers are written with "." whatever the process
// locale, in the shortest form that reads back to the same double (std::to_chars); a value
// that is not finite is written as "nan", "inf" or "-inf".
// Refused (nothing, `error` set) as described above.
std::optional<std::string> samplesCsv(const ExportSamples& samples, const ExportFlags& active,
                                      std::string& error);

// The WAV sample rate for N samples per period at F hertz: N x F rounded to the nearest whole
// number. Nothing when the product is not finite, rounds to 0 or less, or exceeds 2^32 - 1
// (the rate field is 32 bits).
std::optional<std::uint32_t> wavSampleRate(double samplesPerSecond);

// WAV (RIFF, little-endian): format tag 3 (IEEE float), one 32-bit float channel per active
// output in output order, frames interleaved; the fmt chunk is 18 bytes (cbSize 0) and a fact
// chunk holds the number of frames N, as non-PCM formats require. Values are volts converted
// to float (1.0 = 1 V; nothing is scaled or clipped).
// `sampleRate` is N x F in hertz and is rounded by wavSampleRate(). Refused (nothing, `error`
// set) for the input faults above, a rate wavSampleRate() refuses, a byte rate
// (rate x channels x 4) above 2^32 - 1, or a RIFF size that would not fit 32 bits.
std::optional<std::vector<unsigned char>> samplesWav(const ExportSamples& samples,
                                                     const ExportFlags& active, double sampleRate,
                                                     std::string& error);

} // namespace ombrix
