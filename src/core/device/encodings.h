// Value encodings of the frame payloads: timing words of an output frequency, sweep header
// fields and table, reference codes and sample codes. Plain functions of numbers; the
// callers convert the typed texts first.
#pragma once

#include <cstdint>
#include <vector>

namespace ombrix {

// The three words that set the device's sample period.
struct TimingWords {
    std::uint16_t OuterCount = 0;
    std::uint16_t InnerCount = 0;
    std::uint16_t Remainder = 0;
    bool operator==(const TimingWords&) const = default;
};

// Largest inner loop count; wait cycles at or above it use the outer loop.
inline constexpr std::int64_t kInnerLoopMax = 16383;

enum class TimingError {
    None,
    InvalidInput, // frequency, samples, quartz not positive, instructions negative, or not finite
    TooFast,      // the sample period is shorter than the fixed time per sample
    TooSlow,      // the outer loop count would not fit 16 bits
};

struct TimingResult {
    TimingWords words;
    TimingError error = TimingError::None;
    bool ok() const { return error == TimingError::None; }
};

// Instruction cycle time Tc [s] of a DSP running on a `quartzMHz` quartz (two cycles per
// quartz period): 1 / (Q x 2 x 1e6).
long double instructionCycle(double quartzMHz);

// Wait cycles X = (Ts - Tg) / Tc for `freqHz` with `samples` per period, `instructions` per
// sample. NaN for invalid input.
long double waitCycles(double freqHz, double samples, double quartzMHz, double instructions);

// Timing words for an output frequency. Wait cycles Xi = trunc(X): below 16383 the words are
// 1, 1, Xi; otherwise floor(X / 16383), 16383 and the rest. A frequency the device cannot
// play (X < 0) or so slow that the outer count would pass 65535 is refused, never wrapped.
TimingResult timingWords(double freqHz, double samples, double quartzMHz, double instructions);

// A one-line English reason for a refused timing, for the message box.
const char* timingErrorText(TimingError error);

// Sweep header field: instruction cycles per millisecond, floor(0.001 / Tc) = floor(2000 x Q),
// exact where the quotient is a whole number (16 MHz: 32000). The header holds 16 bits; a
// count above 0xFFFF (a quartz from 32.768 MHz) cannot be sent. 0 for an invalid quartz.
std::int64_t sweepCyclesPerMs(double quartzMHz);

enum class SweepError { None, InvalidInput, EndBelowStart, TooLong, Timing };

struct SweepTable {
    std::uint16_t wordCount = 0;      // 3 per frequency step
    std::vector<std::uint16_t> words; // OuterCount, InnerCount, Remainder per step
    SweepError error = SweepError::None;
    TimingError timingError = TimingError::None; // the first refused step's reason
    bool ok() const { return error == SweepError::None; }
};

// Number of frequency steps of a sweep: floor((stop - start) / step) + 1, with a step below
// 1 Hz used as 1. Negative when the end is below the start or the input is invalid.
long long sweepStepCount(double startHz, double stopHz, double stepHz);

// The sweep table for frequencies start, start + step, ... <= stop (step below 1 used as 1).
// Refused when the end is below the start, the table would not fit a 16-bit word count, or
// one of its frequencies has no valid timing.
SweepTable sweepTable(double startHz, double stopHz, double stepHz, double samples,
                      double quartzMHz, double instructions);

// Reference code of a reference voltage typed in millivolts: 2 x trunc(VRef) - 1, low 16
// bits (4096 mV gives 0x1FFF).
std::uint16_t referenceCode(double vrefMillivolts);

// Reference voltage [mV] a reference code stands for (the inverse of referenceCode).
double referenceMillivolts(std::uint16_t code);

// Volts per sample code for a reference voltage in millivolts: VRef / 1000 / 4096.
double sampleStep(double vrefMillivolts);

// Lowest and highest sample codes; 0x1000 is 0 V.
inline constexpr std::uint16_t kSampleCodeMin = 0x0000;
inline constexpr std::uint16_t kSampleCodeZero = 0x1000;
inline constexpr std::uint16_t kSampleCodeMax = 0x1FFF;

// Sample code of `volts`: trunc(volts / step) + 0x1000, limited to 0..0x1FFF (the +/-VRef
// range of the converter). NaN gives 0x1000.
std::uint16_t sampleCode(double volts, double step);

// Volts a sample code stands for with the given step (the inverse of sampleCode).
double sampleVolts(std::uint16_t code, double step);

} // namespace ombrix
