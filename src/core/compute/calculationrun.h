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
    // Outputs inside the requested range that this run leaves as they are: an output whose
    // equation failed and whose inputs did not change since is not tried again.
    std::array<bool, kOutputCount> leave{};
    // Magnitudes as 20 log10 |X| in dB, no lower than kDecibelFloor.
    bool decibels = false;
};

inline constexpr double kDecibelFloor = -140.0;

// What became of each output of a run.
enum class OutputResult {
    NotReached, // outside the request, left alone, or the run was stopped before its end
    Done,       // one full period published
    Failed      // its equation did not parse or failed to evaluate: it holds nothing
};
using RunOutcome = std::array<OutputResult, kOutputCount>;

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
    // Output `output` failed: its series stays empty and it holds no samples. Comes before
    // the failure's message, so the chart is cleared while the message is read.
    virtual void outputFailed(int output) { (void)output; }
    // A run that was not stopped: the end-of-run chart steps with the active flags of the
    // snapshot, where an output that failed or was left alone counts as inactive.
    virtual void completed(const std::array<bool, kOutputCount>& active) = 0;
};

// Spectrum lines above this frequency are not plotted.
inline constexpr double kSpectrumLimitHz = 35000.0;

// Runs outputs first..last of the snapshot, except those it is told to leave. An output whose
// equation fails holds nothing and the run goes on with the next one; the run then ends as
// "Samples not calculated". Only `stop` (a newer request) ends the run early.
RunOutcome runCalculation(int first, int last, const CalcSnapshot& snap, TCalcExpress& calc,
                          TSpectrum& engine, CalcSink& sink, std::atomic<bool>& stop);

} // namespace ombrix
