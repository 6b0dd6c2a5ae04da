// What the device really plays: the frequency its timing words give, and whether samples fit
// the converter's range for a reference voltage.
#pragma once

#include "core/device/encodings.h"
#include "core/model/formsconfig.h"

#include <array>
#include <optional>
#include <vector>

namespace ombrix {

// The output frequency the device produces from timing words: each of the N samples takes
// G instruction cycles plus the wait cycles the words encode (the remainder alone when the
// loops are 1 and 1, outer x inner + remainder otherwise), at Tc = 1 / (2 Q 1e6).
double frequencyFromWords(const TimingWords& words, double samples, double quartzMHz,
                          double instructions);

struct RealFrequency {
    double hz = 0;  // what the device plays
    double ppm = 0; // its error against the asked frequency, in parts per million
};

// The frequency the device will play for `freqHz` with N samples: the asked frequency turned
// into timing words and back. Nothing when the device cannot play it (too fast, too slow or
// invalid input).
std::optional<RealFrequency> realFrequency(double freqHz, double samples, double quartzMHz,
                                           double instructions);

// The lowest and highest voltage the sample codes 0..0x1FFF express for a reference voltage.
struct VoltageRange {
    double low = 0;
    double high = 0;
};
VoltageRange converterRange(double vrefMillivolts);

// Outputs (index 0..5) with at least one sample outside their converter range: VRef1 serves
// outputs 1 and 2, VRef2 outputs 3 to 6. Inactive outputs (active[k] false) are not checked.
std::array<bool, kOutputCount>
limitedOutputs(const std::array<std::vector<double>, kOutputCount>& samples,
               const std::array<bool, kOutputCount>& active, double vref1Mv, double vref2Mv);

} // namespace ombrix
