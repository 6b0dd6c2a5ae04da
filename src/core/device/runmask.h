// How the control panel's Start and Stop buttons change the run mask (bit k-1 = Output k).
#pragma once

#include "core/model/formsconfig.h"

#include <array>
#include <cstdint>
#include <string>

namespace ombrix {

using OutputFlags = std::array<bool, kOutputCount>; // index 0..5 = Output 1..6

// Start or stop Output k (index 0..5): only its bit changes.
std::uint8_t startOutput(std::uint8_t mask, int index);
std::uint8_t stopOutput(std::uint8_t mask, int index);
// "Selected" Start: the ticked rows that are active (Output 1 always counts as active).
std::uint8_t startSelected(std::uint8_t mask, const OutputFlags& ticked, const OutputFlags& active);
// "Selected" Stop: the ticked rows, active or not.
std::uint8_t stopSelected(std::uint8_t mask, const OutputFlags& ticked);
// "All" Start: Output 1 and every active output, replacing the mask. "All" Stop: 0.
std::uint8_t startAll(const OutputFlags& active);
inline std::uint8_t stopAll() {
    return 0;
}

// Whether a change of the panel's frequency text is sent to the device now: both texts are
// non-empty, the field is enabled, the value is above 0 and at most maxFrequency, and the
// settings dialog exists. `value` is the text read as a number (nothing if it is none).
struct PanelFrequencyState {
    std::string mainFreq;
    std::string panelFreq;
    bool panelEnabled = false;
    bool settingsExist = false;
    long double maxFrequency = 0;
};
bool panelFrequencyIsSent(const PanelFrequencyState& s, char sep, long double* value = nullptr);

} // namespace ombrix
