// What the device really plays: the frequency its timing words give, and whether samples fit
// the converter's range for a reference voltage.
#pragma once

#include "core/device/encodings.h"
#include "core/model/formsconfig.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace ombrix {

// The output frequency the device produces from timing words: each of the N samples takes
// G instruction cycles plus the wait cycles the words encode (the remainder alone when the
// loops are 1 and 1, outer x inner + remainder otherwise), at Tc = 1 / (2 Q 1e6).
double frequencyFromWords(const TimingWords& words, double samples, double quartzMHz,
                          double instructions);

// The frequency error: what the device really plays against the frequency the user typed, in
// parts per million (0 when nothing was asked). The one figure the frequency label, the
// control panel and the device monitor show.
double frequencyErrorPpm(double playedHz, double askedHz);
// The error as those places show it: to 0.1 ppm, signed, with the separator `sep`
// ("+6289.3 ppm", "-200 ppm"), or "exact" when it rounds to nothing.
std::string frequencyErrorText(double ppm, char sep);

struct RealFrequency {
    double hz = 0;  // what the device plays
    double ppm = 0; // frequencyErrorPpm(hz, the asked frequency)
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
