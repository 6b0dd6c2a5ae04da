#include "core/model/formsconfig.h"

namespace ombrix {

FormsConfig startupForms() {
    return FormsConfig{};
}

FormsConfig newForms() {
    FormsConfig f;
    // assign() rather than = "0": GCC 12 reports a false overlap for the literal at -O3.
    for (auto& o : f.Outputs)
        for (auto& p : o.Pulse)
            p.assign(1, '0');
    for (std::string* t :
         {&f.General.StartFreq, &f.General.StopFreq, &f.General.Step, &f.General.Time})
        t->assign(1, '0');
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
