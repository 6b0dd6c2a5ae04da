#include "core/compute/calculateforms.h"

#include "core/compute/vectorstate.h"

namespace ombrix {

TCalculateFormsThread::TCalculateFormsThread(int first, int last, CalcSnapshot snapshot,
                                             TCalcExpress& calc, TSpectrum& engine, CalcSink& sink)
    : FirstOutput(first), LastOutput(last), snapshot_(std::move(snapshot)), calc_(calc),
      engine_(engine), sink_(sink) {
    thread_ = std::thread([this] { Execute(); });
}

TCalculateFormsThread::~TCalculateFormsThread() {
    requestStop();
    waitFor();
}

void TCalculateFormsThread::waitFor() {
    if (thread_.joinable())
        thread_.join();
}

void TCalculateFormsThread::Execute() {
    clearUpperVectorState(); // inherited from the GUI thread that started this one
    outcome_ = runCalculation(FirstOutput, LastOutput, snapshot_, calc_, engine_, sink_, stop_);
    finished_ = true;
}

} // namespace ombrix
