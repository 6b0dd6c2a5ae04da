// One period of samples per output: sine with harmonics, pulse trapezoid, equation in X,
// and the rotation of pulse and equation outputs by their phase shift against output 1.
//
// Every loop tests the stop flag, so a new request takes effect within one sample or one
// harmonic term. Values are volts; nothing is clipped or converted here.
#pragma once

#include "core/model/formsconfig.h"

#include <array>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace ombrix {

class TCalcExpress;

// The largest period the device memory holds; no work buffer is ever longer.
inline constexpr int kMaxPeriod = kTotalSamples;

// A text of the model as a number with the locale separator; 0 when it is none.
double numberOr0(const std::string& text, char sep);

// Samples of one period, N = `n`; `publish(n, v)` is called for each sample when complete.
// Returns false when stopped.
using Publish = std::function<void(int, double)>;
bool sineSamples(const OutputForm& form, char sep, int n, const std::atomic<bool>& stop,
                 const Publish& publish);

// The pulse trapezoid of one period into work[0..n-1] (offset included).
bool pulseSamples(const OutputForm& form, char sep, int n, const std::atomic<bool>& stop,
                  std::vector<double>& work);

enum class EquationResult { Done, Stopped, ParseFailed, EvalFailed };
// The output's equation evaluated at X = 2*pi*i/n into work[0..n-1]; on a failure the work
// buffer is zeroed. `calc` is an evaluator instance used by this thread alone.
EquationResult equationSamples(TCalcExpress& calc, const std::string& equation, int n,
                               const std::atomic<bool>& stop, std::vector<double>& work);

// floor(n * p / 360) with p + 360 once for a negative p, formed so exact multiples land.
int phaseShiftSamples(int n, double degrees);

// Publishes work[(i + shift) mod n] at index i (shift 0 for output 1). Returns false when stopped.
bool publishRotated(const std::vector<double>& work, int n, int shift,
                    const std::atomic<bool>& stop, const Publish& publish);

} // namespace ombrix
