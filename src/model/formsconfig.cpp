#include "model/formsconfig.h"

namespace ombrix {

FormsConfig startupForms() {
    return FormsConfig{};
}

FormsConfig newForms() {
    FormsConfig f;
    for (auto& o : f.Outputs)
        o.Pulse = {"0", "0", "0", "0", "0", "0"};
    f.General.StartFreq = "0";
    f.General.StopFreq = "0";
    f.General.Step = "0";
    f.General.Time = "0";
    return f;
}

int activeCount(const GeneralSettings& g) {
    int n = 1;
    for (int k = 1; k < kOutputCount; ++k)
        n += g.Active[k] ? 1 : 0;
    return n;
}

int maxSamples(int activeCount) {
    return kTotalSamples / (activeCount < 1 ? 1 : activeCount);
}

} // namespace ombrix
