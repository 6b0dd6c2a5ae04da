#include "core/compute/synthesis.h"

#include "core/compute/calcexpress.h"
#include "core/model/numbertext.h"

#include <algorithm>
#include <cmath>

namespace ombrix {

namespace {

constexpr double kPi = 3.14159265358979323846;

// floor(a * b * c) with the product formed in extended precision and rounded to a double
// first, so that whole percentages and exact multiples land on the integer.
long long flooredProduct(long double a, long double b, long double c) {
    const double product = static_cast<double>(a * b * c);
    return static_cast<long long>(std::floor(product));
}

} // namespace

double numberOr0(const std::string& text, char sep) {
    const auto v = parseNumber(text, sep);
    return v ? static_cast<double>(*v) : 0.0;
}

bool sineSamples(const OutputForm& form, char sep, int n, const std::atomic<bool>& stop,
                 const Publish& publish) {
    std::array<double, kHarmonicCount> amplitude{}, phase{};
    std::array<bool, kHarmonicCount> enabled{};
    for (int r = 0; r < kHarmonicCount; ++r) {
        if (stop)
            return false;
        amplitude[r] = numberOr0(form.Harmonics[r].Amplitude, sep);
        phase[r] = numberOr0(form.Harmonics[r].Phase, sep);
        enabled[r] = form.Harmonics[r].En;
    }
    for (int r = 0; r < kHarmonicCount; ++r) {
        if (stop)
            return false;
        phase[r] = phase[r] * kPi / 180.0;
    }
    const double offset = numberOr0(form.Offset, sep);
    const double w = 2.0 * kPi / n;
    for (int i = 0; i < n; ++i) {
        if (stop)
            return false;
        double v = offset;
        for (int r = 0; r < kHarmonicCount; ++r) {
            if (stop)
                return false;
            if (!enabled[r])
                continue;
            // The fundamental's phase turns every harmonic r by r times itself.
            const int h = r + 1;
            const double theta = r == 0 ? i * w + phase[0] : h * i * w + phase[r] + h * phase[0];
            v += amplitude[r] * std::sin(theta);
        }
        publish(i, v);
    }
    return true;
}

bool pulseSamples(const OutputForm& form, char sep, int n, const std::atomic<bool>& stop,
                  std::vector<double>& work) {
    const double a2 = numberOr0(form.Pulse[A2], sep);
    const double a1 = numberOr0(form.Pulse[A1], sep);
    const double tD1v = numberOr0(form.Pulse[tD1], sep);
    const double tRv = numberOr0(form.Pulse[tR], sep);
    const double tD2v = numberOr0(form.Pulse[tD2], sep);
    const double offset = numberOr0(form.Offset, sep);
    const long long iRise = flooredProduct(tD1v, n, 0.01L);
    const long long iHigh = iRise + flooredProduct(tRv, n, 0.01L);
    const long long iFall = iHigh + flooredProduct(tD2v, n, 0.01L);
    const double up = iHigh > iRise ? (a2 - a1) / static_cast<double>(iHigh - iRise) : 0.0;
    const double down = n > iFall ? (a1 - a2) / static_cast<double>(n - iFall) : 0.0;
    work.assign(static_cast<size_t>(n), 0.0);
    for (int i = 0; i < n; ++i) {
        if (stop)
            return false;
        double level;
        if (i < iRise)
            level = a1;
        else if (i < iHigh)
            level = a1 + static_cast<double>(i - iRise) * up;
        else if (i < iFall)
            level = a2;
        else
            level = a2 + static_cast<double>(i - iFall) * down;
        work[static_cast<size_t>(i)] = level + offset;
    }
    return true;
}

EquationResult equationSamples(TCalcExpress& calc, const std::string& equation, int n,
                               const std::atomic<bool>& stop, std::vector<double>& work) {
    work.assign(static_cast<size_t>(n), 0.0);
    // The memo's lines are joined end to end.
    std::string formula;
    formula.reserve(equation.size());
    for (char c : equation)
        if (c != '\n' && c != '\r')
            formula += c;
    try {
        calc.Variables() = {"X"};
        calc.init(formula);
    } catch (const CalcError&) {
        return EquationResult::ParseFailed;
    }
    const long double w = 2.0L * static_cast<long double>(kPi) / n;
    try {
        for (int i = 0; i < n; ++i) {
            if (stop)
                return EquationResult::Stopped;
            const long double x = i * w;
            work[static_cast<size_t>(i)] = static_cast<double>(calc.calc(&x, 0));
        }
    } catch (const CalcError&) {
        std::fill(work.begin(), work.end(), 0.0);
        return EquationResult::EvalFailed;
    }
    return EquationResult::Done;
}

int phaseShiftSamples(int n, double degrees) {
    if (degrees < 0)
        degrees += 360.0;
    const long long s = flooredProduct(n, degrees, 1.0L / 360.0L);
    // Shifts outside one period (texts beyond the field limits) are brought into it.
    return n > 0 ? static_cast<int>(((s % n) + n) % n) : 0;
}

bool publishRotated(const std::vector<double>& work, int n, int shift,
                    const std::atomic<bool>& stop, const Publish& publish) {
    int s = shift;
    for (int i = 0; i < n; ++i) {
        if (stop)
            return false;
        if (s + i >= n)
            s -= n;
        publish(i, work[static_cast<size_t>(i + s)]);
    }
    return true;
}

} // namespace ombrix
