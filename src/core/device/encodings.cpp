#include "core/device/encodings.h"

#include <cmath>
#include <limits>

namespace ombrix {

namespace {

// Wait cycles at or above this need an outer count beyond 16 bits.
constexpr long double kWaitCyclesLimit = 65536.0L * kInnerLoopMax;

bool positiveFinite(double v) {
    return std::isfinite(v) && v > 0;
}

} // namespace

long double instructionCycle(double quartzMHz) {
    return 1.0L / (static_cast<long double>(quartzMHz) * 2.0L * 1000000.0L);
}

long double waitCycles(double freqHz, double samples, double quartzMHz, double instructions) {
    if (!positiveFinite(freqHz) || !positiveFinite(samples) || !positiveFinite(quartzMHz) ||
        !std::isfinite(instructions) || instructions < 0)
        return std::numeric_limits<long double>::quiet_NaN();
    const long double tc = instructionCycle(quartzMHz);
    const long double tg = instructions * tc;
    const long double ts = 1.0L / (static_cast<long double>(freqHz) * samples);
    return (ts - tg) / tc;
}

TimingResult timingWords(double freqHz, double samples, double quartzMHz, double instructions) {
    TimingResult r;
    const long double x = waitCycles(freqHz, samples, quartzMHz, instructions);
    if (std::isnan(x)) {
        r.error = TimingError::InvalidInput;
        return r;
    }
    if (x < 0) {
        r.error = TimingError::TooFast;
        return r;
    }
    if (x >= kWaitCyclesLimit) {
        r.error = TimingError::TooSlow;
        return r;
    }
    const auto xi = static_cast<std::int64_t>(std::trunc(x));
    if (xi < kInnerLoopMax) {
        r.words = {1, 1, static_cast<std::uint16_t>(xi)};
        return r;
    }
    // The device firmware expects the outer count from the extended-precision reciprocal.
    constexpr long double kReciprocal = 1.0L / 16383.0L;
    auto outer = static_cast<std::int64_t>(std::floor(x * kReciprocal));
    // The rounded reciprocal can land one below or above an exact multiple; the rest must
    // stay a valid inner count.
    if (xi - outer * kInnerLoopMax < 0)
        --outer;
    else if (xi - outer * kInnerLoopMax >= kInnerLoopMax)
        ++outer;
    if (outer > 0xFFFF) {
        r.error = TimingError::TooSlow;
        return r;
    }
    const std::int64_t rest = xi - outer * kInnerLoopMax;
    r.words = {static_cast<std::uint16_t>(outer), static_cast<std::uint16_t>(kInnerLoopMax),
               static_cast<std::uint16_t>(rest & 0xFFFF)};
    return r;
}

const char* timingErrorText(TimingError error) {
    switch (error) {
    case TimingError::None:
        return "";
    case TimingError::InvalidInput:
        return "Frequency, number of samples, quartz or number of instructions is invalid.";
    case TimingError::TooFast:
        return "Frequency too high for the number of samples: the device cannot play it.";
    case TimingError::TooSlow:
        return "Frequency too low for the number of samples: the device cannot play it.";
    }
    return "";
}

std::int64_t sweepCyclesPerMs(double quartzMHz) {
    if (!positiveFinite(quartzMHz) || quartzMHz > 1e12)
        return 0;
    // 0.001 / Tc taken as one product instead of through the rounded reciprocal Tc, and a
    // product within rounding of a whole number is that number: a quartz typed as 16.384
    // counts 32768 cycles, not 32767.
    const long double cycles = 2000.0L * static_cast<long double>(quartzMHz);
    const long double nearest = std::nearbyint(cycles);
    if (std::fabs(cycles - nearest) <= cycles * 1e-12L)
        return static_cast<std::int64_t>(nearest);
    return static_cast<std::int64_t>(std::floor(cycles));
}

long long sweepStepCount(double startHz, double stopHz, double stepHz) {
    if (!std::isfinite(startHz) || !std::isfinite(stopHz) || std::isnan(stepHz))
        return -1;
    if (stopHz < startHz)
        return -1;
    // A step below 1 Hz would make the table endless or divide by zero.
    const double step = stepHz < 1 ? 1.0 : stepHz;
    const double k = std::floor((stopHz - startHz) / step);
    if (k > 1e15)
        return std::numeric_limits<long long>::max();
    return static_cast<long long>(k) + 1;
}

SweepTable sweepTable(double startHz, double stopHz, double stepHz, double samples,
                      double quartzMHz, double instructions) {
    SweepTable t;
    if (!std::isfinite(startHz) || !std::isfinite(stopHz) || std::isnan(stepHz)) {
        t.error = SweepError::InvalidInput;
        return t;
    }
    const long long steps = sweepStepCount(startHz, stopHz, stepHz);
    if (steps < 0) {
        t.error = SweepError::EndBelowStart;
        return t;
    }
    if (steps * 3 > 0xFFFF) {
        t.error = SweepError::TooLong;
        return t;
    }
    const double step = stepHz < 1 ? 1.0 : stepHz;
    t.words.reserve(static_cast<std::size_t>(steps) * 3);
    for (long long k = 0; k < steps; ++k) {
        // Each frequency from its index, so the count above and the table always agree.
        const double f = startHz + static_cast<double>(k) * step;
        const TimingResult tw = timingWords(f, samples, quartzMHz, instructions);
        if (!tw.ok()) {
            t.words.clear();
            t.error = SweepError::Timing;
            t.timingError = tw.error;
            return t;
        }
        t.words.push_back(tw.words.OuterCount);
        t.words.push_back(tw.words.InnerCount);
        t.words.push_back(tw.words.Remainder);
    }
    t.wordCount = static_cast<std::uint16_t>(steps * 3);
    return t;
}

std::uint16_t referenceCode(double vrefMillivolts) {
    double v = std::isnan(vrefMillivolts) ? 0.0 : vrefMillivolts;
    // Keeps the conversion defined; only the low 16 bits are sent anyway.
    if (v > 1e9)
        v = 1e9;
    if (v < -1e9)
        v = -1e9;
    const auto code = 2 * static_cast<std::int64_t>(std::trunc(v)) - 1;
    return static_cast<std::uint16_t>(code & 0xFFFF);
}

double referenceMillivolts(std::uint16_t code) {
    return (static_cast<double>(code) + 1.0) / 2.0;
}

double sampleStep(double vrefMillivolts) {
    return vrefMillivolts / 1000.0 / 4096.0;
}

std::uint16_t sampleCode(double volts, double step) {
    const double q = volts / step;
    if (std::isnan(q))
        return kSampleCodeZero;
    const double code = std::trunc(q) + kSampleCodeZero;
    if (code <= kSampleCodeMin)
        return kSampleCodeMin;
    if (code >= kSampleCodeMax)
        return kSampleCodeMax;
    return static_cast<std::uint16_t>(code);
}

double sampleVolts(std::uint16_t code, double step) {
    return (static_cast<double>(code) - kSampleCodeZero) * step;
}

} // namespace ombrix
