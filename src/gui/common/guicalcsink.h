// Hands a calculation run's results from its thread to the main window's GUI thread, in
// order, as queued calls. The end-of-run steps of a run that is no longer the newest are
// dropped; its points still land, as they were published before it was stopped.
#pragma once

#include "core/compute/calculationrun.h"
#include "gui/common/guihandover.h"

#include <QObject>

#include <atomic>
#include <functional>

namespace ombrix {

class GuiCalcSink : public CalcSink {
  public:
    struct Handlers {
        std::function<void(const std::string&)> status;
        std::function<void(int)> clearSeries;
        std::function<void(int, const std::vector<double>&, const std::vector<double>&)> append;
        std::function<void(int, std::vector<double>)> samples;
        std::function<void(const std::string&, const std::string&)> failure;
        std::function<void(const std::array<bool, kOutputCount>&)> completed;
        std::function<void(int)> outputFailed;
    };

    // Created on the GUI thread, where the handlers then run.
    explicit GuiCalcSink(Handlers handlers);

    // Called on the GUI thread before each new run starts.
    void startRun() { ++generation_; }
    // Runs at once what a finished run handed over (GUI thread).
    void deliver() { handOver_.drain(); }

    void status(const std::string& text) override;
    void clearSeries(int output) override;
    void appendPoints(int output, std::vector<double> xs, std::vector<double> ys) override;
    void samples(int output, std::vector<double> values) override;
    void failure(const std::string& text, const std::string& caption) override;
    void completed(const std::array<bool, kOutputCount>& active) override;
    void outputFailed(int output) override;

  private:
    void post(std::function<void()> call) { handOver_.post(std::move(call)); }

    GuiHandOver handOver_;
    Handlers h_;
    std::atomic<int> generation_{0};
};

} // namespace ombrix
