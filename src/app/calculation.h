// The calculation: CalculateForms, the one calculation thread, the evaluator and FFT engine it
// uses, the sample store of each output (its latest computed period, in volts), the outputs
// whose equation failed, and what a run hands the charts.
#pragma once

#include "core/model/formsconfig.h"

#include <QObject>

#include <array>
#include <memory>
#include <vector>

namespace ombrix {

class ChartMenu;
class FormsDocument;
class GuiCalcSink;
class TCalcExpress;
class TCalculateFormsThread;
class TSpectrum;
class UserPrompts;
struct MainPages;

class Calculation : public QObject {
    Q_OBJECT
  public:
    using Samples = std::array<std::vector<double>, kOutputCount>;

    // Runs read the forms of `document` and the view of `chartMenu`, draw on the charts of
    // `pages` and write the calculation state to status panel 3.
    Calculation(FormsDocument& document, MainPages& pages, ChartMenu& chartMenu,
                UserPrompts& prompts, char sep);
    ~Calculation() override; // stops and joins a running calculation

    // The one entry point for recalculating outputs first..last (indexes 0..5): stops and
    // waits for a running calculation and starts the new one.
    void CalculateForms(int first, int last);
    // Waits for the running calculation and delivers what it handed over.
    void finishCalculation();
    // Stops and joins a running calculation (shut-down).
    void stop();
    // Sets the active state of series `index` of the "General" chart, which is redrawn soon
    // (or by the next redraw of any kind when `redraw` is false).
    void ActivateChartSeries(int index, bool active, bool redraw = true);

    // The latest computed period of each output in volts, as published (rotation applied);
    // empty for an output whose equation failed.
    const std::vector<double>& samples(int output) const { return samples_.at(output); }
    const Samples& allSamples() const { return samples_; }

  signals:
    // CalculateForms(first, last) was called.
    void calculationRequested(int first, int last);
    // A run's results are in the stores and its series switched; its charts are not drawn yet.
    void resultsIn();
    // A calculation run's results are in the store and the shown chart is drawn.
    void runEnded();

  private:
    void endOfRun(const std::array<bool, kOutputCount>& active);

    FormsDocument& document_;
    MainPages& pages_;
    ChartMenu& chartMenu_;
    char sep_;
    std::unique_ptr<TCalcExpress> calc_; // used by the calculation thread only
    std::unique_ptr<TSpectrum> engine_;  // likewise
    std::unique_ptr<GuiCalcSink> sink_;
    std::unique_ptr<TCalculateFormsThread> calcThread_;
    // Outputs whose equation failed and whose inputs have not changed since: they hold no
    // samples and are not calculated again until asked for by name.
    std::array<bool, kOutputCount> failed_{};
    Samples samples_;
};

} // namespace ombrix
