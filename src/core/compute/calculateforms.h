// TCalculateFormsThread: one calculation run on a thread of its own, stopped by a flag.
// Destroying it asks it to stop and waits for its end, so two runs never overlap.
#pragma once

#include "core/compute/calculationrun.h"

#include <atomic>
#include <thread>

namespace ombrix {

class TCalculateFormsThread {
  public:
    // Starts the run of outputs first..last at once. The evaluator, the engine and the sink
    // must outlive the object; nobody else may use the evaluator or engine meanwhile.
    TCalculateFormsThread(int first, int last, CalcSnapshot snapshot, TCalcExpress& calc,
                          TSpectrum& engine, CalcSink& sink);
    ~TCalculateFormsThread();
    TCalculateFormsThread(const TCalculateFormsThread&) = delete;
    TCalculateFormsThread& operator=(const TCalculateFormsThread&) = delete;

    const int FirstOutput;
    const int LastOutput;

    void requestStop() { stop_ = true; }
    bool stopRequested() const { return stop_; }
    bool finished() const { return finished_; }
    // Waits for the end of the run.
    void waitFor();
    // What became of each output; read it only after waitFor().
    const RunOutcome& outcome() const { return outcome_; }
    // The outputs this run was asked to compute: its range less those it leaves alone.
    bool covers(int output) const {
        return output >= FirstOutput && output <= LastOutput &&
               !snapshot_.leave[static_cast<std::size_t>(output)];
    }

  private:
    void Execute();

    CalcSnapshot snapshot_;
    TCalcExpress& calc_;
    TSpectrum& engine_;
    CalcSink& sink_;
    RunOutcome outcome_{};
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

} // namespace ombrix
