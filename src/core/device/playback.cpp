#include "core/device/playback.h"

#include "core/model/numbertext.h"

#include <cmath>

namespace ombrix {

double frequencyFromWords(const TimingWords& words, double samples, double quartzMHz,
                          double instructions) {
    const double waits =
        words.OuterCount == 1 && words.InnerCount == 1
            ? static_cast<double>(words.Remainder)
            : static_cast<double>(words.OuterCount) * words.InnerCount + words.Remainder;
    const long double tc = instructionCycle(quartzMHz);
    const long double period = static_cast<long double>(samples) * (instructions + waits) * tc;
    return period > 0 ? static_cast<double>(1.0L / period) : 0.0;
}

double frequencyErrorPpm(double playedHz, double askedHz) {
    return askedHz > 0 ? (playedHz - askedHz) / askedHz * 1e6 : 0.0;
}

std::string frequencyErrorText(double ppm, char sep) {
    const double tenths = std::round(ppm * 10) / 10;
    if (tenths == 0)
        return "exact";
    // Appended, not "literal" + string: GCC 12 warns falsely on that at -O3 (GCC bug 105651).
    std::string text = tenths > 0 ? "+" : "";
    text += formatGeneral(tenths, sep);
    text += " ppm";
    return text;
}

std::optional<RealFrequency> realFrequency(double freqHz, double samples, double quartzMHz,
                                           double instructions) {
    const TimingResult t = timingWords(freqHz, samples, quartzMHz, instructions);
    if (!t.ok())
        return std::nullopt;
    RealFrequency r;
    r.hz = frequencyFromWords(t.words, samples, quartzMHz, instructions);
    r.ppm = frequencyErrorPpm(r.hz, freqHz);
    return r;
}

VoltageRange converterRange(double vrefMillivolts) {
    const double step = sampleStep(vrefMillivolts);
    // Codes truncate towards zero, so anything short of one step past the last code still
    // lands on it.
    return {(kSampleCodeMin - kSampleCodeZero - 1) * step + step * 1e-9,
            (kSampleCodeMax - kSampleCodeZero + 1) * step - step * 1e-9};
}

std::array<bool, kOutputCount>
limitedOutputs(const std::array<std::vector<double>, kOutputCount>& samples,
               const std::array<bool, kOutputCount>& active, double vref1Mv, double vref2Mv) {
    std::array<bool, kOutputCount> limited{};
    for (int k = 0; k < kOutputCount; ++k) {
        if (!active[k])
            continue;
        // A sample's code grows with its value, so the lowest and the highest sample decide;
        // NaN fails both comparisons and is skipped, as it has no code out of range.
        double low = INFINITY, high = -INFINITY;
        for (double v : samples[k]) {
            low = v < low ? v : low;
            high = v > high ? v : high;
        }
        const double step = sampleStep(k < 2 ? vref1Mv : vref2Mv);
        const auto outside = [step](double v) {
            const double code = std::trunc(v / step) + kSampleCodeZero;
            return code < kSampleCodeMin || code > kSampleCodeMax;
        };
        limited[k] = low <= high && (outside(low) || outside(high));
    }
    return limited;
}

} // namespace ombrix
