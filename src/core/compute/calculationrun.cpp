#include "core/compute/calculationrun.h"

#include "core/compute/calcexpress.h"
#include "core/compute/spectrum.h"
#include "core/compute/synthesis.h"
#include "core/model/numbertext.h"

#include <algorithm>
#include <cmath>

namespace ombrix {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr size_t kBatch = 4096; // points handed over at once

// Collects the points of one output and hands them over in batches, in order.
class PointBatcher {
  public:
    PointBatcher(CalcSink& sink, int output) : sink_(sink), output_(output) {}
    ~PointBatcher() { flush(); }
    PointBatcher(const PointBatcher&) = delete;
    PointBatcher& operator=(const PointBatcher&) = delete;

    void add(double x, double y) {
        xs_.push_back(x);
        ys_.push_back(y);
        if (xs_.size() >= kBatch)
            flush();
    }
    void flush() {
        if (xs_.empty())
            return;
        sink_.appendPoints(output_, std::move(xs_), std::move(ys_));
        xs_.clear();
        ys_.clear();
    }

  private:
    CalcSink& sink_;
    int output_;
    std::vector<double> xs_, ys_;
};

double lineValue(const CalcSnapshot& snap, const TSpectrum& engine, int i) {
    switch (snap.view) {
    case ViewKind::Magnitude:
        if (snap.decibels) {
            const double m = engine.Magnitude[i];
            return m > 0 ? std::max(20.0 * std::log10(m), kDecibelFloor) : kDecibelFloor;
        }
        return engine.Magnitude[i];
    case ViewKind::Real:
        return engine.Spectrum[i].Re();
    case ViewKind::Imag:
        return engine.Spectrum[i].Im();
    case ViewKind::Phase:
        return engine.Phase[i] * 180.0 / kPi;
    case ViewKind::Form:
        break;
    }
    return 0.0;
}

void plotSpectrum(const CalcSnapshot& snap, TSpectrum& engine, double fs, PointBatcher& points,
                  const std::atomic<bool>& stop) {
    engine.Calculate();
    for (int i = 0; i < engine.Size / 2; ++i) {
        if (stop)
            return;
        const double f = engine.LineFrequency(i, fs);
        if (f > kSpectrumLimitHz)
            return;
        points.add(f, lineValue(snap, engine, i));
    }
}

} // namespace

RunOutcome runCalculation(int first, int last, const CalcSnapshot& snap, TCalcExpress& calc,
                          TSpectrum& engine, CalcSink& sink, std::atomic<bool>& stop) {
    RunOutcome outcome{};
    outcome.fill(OutputResult::NotReached);
    const GeneralSettings& g = snap.forms.General;
    // More samples than the device holds never reach a buffer; a count below 1 gives nothing.
    const int n = std::clamp(parseInteger(g.NumOfSam).value_or(0), 0, kMaxPeriod);
    const double f = numberOr0(g.Freq, snap.sep);
    const double fs = n * f;
    const bool formView = snap.view == ViewKind::Form;
    engine.Size = snap.fftSize;
    engine.Window = static_cast<std::uint8_t>(snap.window);
    sink.status("Samples are calculating");

    std::array<int, kOutputCount> shift{};
    for (int j = 1; j < kOutputCount; ++j)
        shift[j] = phaseShiftSamples(n, numberOr0(g.Ph_Disp[j], snap.sep));

    std::vector<double> work;
    work.reserve(kMaxPeriod);
    first = std::max(first, 0);
    last = std::min(last, kOutputCount - 1);
    for (int k = first; k <= last; ++k) {
        engine.Clear();
        if (stop)
            break;
        if (snap.leave[k])
            continue;
        const OutputForm& form = snap.forms.Outputs[k];
        sink.clearSeries(k);
        PointBatcher points(sink, k);
        std::vector<double> published;
        published.reserve(static_cast<size_t>(n));
        const Publish publish = [&](int i, double v) {
            published.push_back(v);
            if (formView)
                points.add(i, v);
            else
                engine.Input.Add(v, 0.0);
        };
        switch (form.Form) {
        case FormKind::Sine:
            sineSamples(form, snap.sep, n, stop, publish);
            break;
        case FormKind::Pulse:
            if (pulseSamples(form, snap.sep, n, stop, work))
                publishRotated(work, n, shift[k], stop, publish);
            break;
        case FormKind::Equation: {
            const EquationResult r = equationSamples(calc, form.Equation, n, stop, work);
            if (r == EquationResult::ParseFailed || r == EquationResult::EvalFailed) {
                // Nothing of a failed output is published; the others do not depend on it.
                outcome[k] = OutputResult::Failed;
                sink.outputFailed(k);
                if (r == EquationResult::EvalFailed)
                    sink.failure("Divide by zero", "Error");
                continue;
            }
            publishRotated(work, n, shift[k], stop, publish);
            break;
        }
        }
        if (stop)
            break;
        if (static_cast<int>(published.size()) == n) {
            sink.samples(k, std::move(published));
            outcome[k] = OutputResult::Done;
        }
        if (!formView)
            plotSpectrum(snap, engine, fs, points, stop);
        if (stop) // a spectrum only partly plotted is not finished
            outcome[k] = OutputResult::NotReached;
    }
    if (stop) {
        sink.status("Samples not calculated");
        return outcome;
    }
    std::array<bool, kOutputCount> shown = g.Active;
    shown[0] = true; // Output 1 always plays
    bool failed = false;
    for (int k = 0; k < kOutputCount; ++k) {
        const bool empty =
            outcome[k] == OutputResult::Failed || (k >= first && k <= last && snap.leave[k]);
        failed = failed || outcome[k] == OutputResult::Failed;
        if (empty)
            shown[k] = false;
    }
    sink.completed(shown);
    sink.status(failed ? "Samples not calculated" : "Samples calculated");
    return outcome;
}

} // namespace ombrix
