// What the Send all benchmarks send: six active outputs of 1365 samples of a shifted sine at
// 50 Hz, and the device-side callbacks a benchmark has no use for.
#pragma once

#include "core/device/transfer.h"

#include <cmath>

namespace benchsend {

class NoButtons final : public ombrix::DeviceButtons {
  public:
    void EnableControls(const ombrix::LinkControls&) override {}
};

class NoProgress final : public ombrix::TransferProgress {
  public:
    void SetProgressMax(int) override {}
    void StepProgress() override {}
};

inline ombrix::TransferInput sendAllOfSixOutputs() {
    ombrix::TransferInput in;
    in.general.NumOfSam = "1365";
    in.general.Freq = "50";
    in.general.Active.fill(true);
    for (std::size_t k = 0; k < in.samples.size(); ++k)
        for (int j = 0; j < 1365; ++j)
            in.samples[k].push_back(2.0 * std::sin(6.283185307179586 * (j + 100.0 * k) / 1365));
    return in;
}

} // namespace benchsend
