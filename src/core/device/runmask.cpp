#include "core/device/runmask.h"

#include "core/model/numbertext.h"

namespace ombrix {

namespace {

std::uint8_t bit(int index) {
    return static_cast<std::uint8_t>(1u << index);
}

} // namespace

std::uint8_t startOutput(std::uint8_t mask, int index) {
    return mask | bit(index);
}

std::uint8_t stopOutput(std::uint8_t mask, int index) {
    return static_cast<std::uint8_t>(mask & ~bit(index));
}

std::uint8_t startSelected(std::uint8_t mask, const OutputFlags& ticked,
                           const OutputFlags& active) {
    for (int k = 0; k < kOutputCount; ++k)
        if (ticked[k] && (k == 0 || active[k]))
            mask |= bit(k);
    return mask;
}

std::uint8_t stopSelected(std::uint8_t mask, const OutputFlags& ticked) {
    for (int k = 0; k < kOutputCount; ++k)
        if (ticked[k])
            mask = stopOutput(mask, k);
    return mask;
}

std::uint8_t startAll(const OutputFlags& active) {
    std::uint8_t mask = bit(0);
    for (int k = 1; k < kOutputCount; ++k)
        if (active[k])
            mask |= bit(k);
    return mask;
}

bool panelFrequencyIsSent(const PanelFrequencyState& s, char sep, long double* value) {
    if (s.mainFreq.empty() || s.panelFreq.empty() || !s.panelEnabled || !s.settingsExist)
        return false;
    const auto v = parseNumber(s.panelFreq, sep);
    if (!v || *v > s.maxFrequency || *v <= 0)
        return false;
    if (value)
        *value = *v;
    return true;
}

} // namespace ombrix
