#include "core/model/formsrules.h"

#include "core/model/numbertext.h"

#include <string>

namespace ombrix {

RecalcRange toggleActiveOutput(GeneralSettings& g, int k) {
    const int limit = maxSamples(activeCount(g));
    const auto n = parseInteger(g.NumOfSam);
    // A NumOfSam that is no number is treated as too large: the limit then repairs it.
    if (!g.SetMaxNumber && n && *n <= limit)
        return std::pair{k, k};
    g.NumOfSam = std::to_string(limit);
    return std::pair{0, kOutputCount - 1};
}

RecalcRange setMaxNumber(GeneralSettings& g) {
    if (!g.SetMaxNumber)
        return std::nullopt;
    g.NumOfSam = std::to_string(maxSamples(activeCount(g)));
    return std::pair{0, kOutputCount - 1};
}

RecalcRange copySettings(FormsConfig& f, int source, int target) {
    if (source < 0 || source >= kOutputCount || target < 0 || target >= kOutputCount ||
        source == target)
        return std::nullopt;
    f.Outputs[target] = f.Outputs[source];
    return std::pair{target, target};
}

FormVisibility formVisibility(FormKind kind) {
    switch (kind) {
    case FormKind::Pulse:
        return {true, false, false, true};
    case FormKind::Equation:
        return {false, false, true, false};
    case FormKind::Sine:
    default:
        return {false, true, false, true};
    }
}

} // namespace ombrix
