// One calculation run: the requested outputs of a snapshot of the forms turned into points
// (form view) or spectrum lines (spectrum views), handed to a sink in the order of the steps.
#pragma once

#include "core/model/formsconfig.h"

#include <atomic>
#include <string>
#include <vector>

namespace ombrix {

class TCalcExpress;
class TSpectrum;

enum class ViewKind { Form, Magnitude, Real, Imag, Phase };

// Everything a run reads, copied on the GUI thread when the calculation is requested.
struct CalcSnapshot {
    FormsConfig forms;
    char sep = '.';
    ViewKind view = ViewKind::Form;
    int fftSize = 2048;
    int window = 0; // window code of the FFT engine
};

// Where a run's results go. Calls come from the calculation thread, in order; an
// implementation hands them to the GUI thread.
class CalcSink {
  public:
    virtual ~CalcSink() = default;
    virtual void status(const std::string& text) = 0;
    virtual void clearSeries(int output) = 0;
    virtual void appendPoints(int output, std::vector<double> xs, std::vector<double> ys) = 0;
    // The sample values of one period of an output as published (rotation applied).
    virtual void samples(int output, std::vector<double> values) = 0;
    virtual void failure(const std::string& text, const std::string& caption) = 0;
    // A complete run: the end-of-run chart steps with the active flags of the snapshot.
    virtual void completed(const std::array<bool, kOutputCount>& active) = 0;
};

// Spectrum lines above this frequency are not plotted.
inline constexpr double kSpectrumLimitHz = 35000.0;

// Runs outputs first..last of the snapshot. Sets `stop` itself when an equation fails.
void runCalculation(int first, int last, const CalcSnapshot& snap, TCalcExpress& calc,
                    TSpectrum& engine, CalcSink& sink, std::atomic<bool>& stop);

} // namespace ombrix
