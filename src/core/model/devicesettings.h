// The settings dialog's texts: the live store of the device settings for this run.
//
// Commands read these texts whenever they need a value, whether the dialog was last closed
// with OK or Cancel; nothing here is saved between runs.
#pragma once

#include <optional>
#include <string>

namespace ombrix {

inline constexpr int kDefaultBaudIndex = 4; // "9600"

struct DeviceSettings {
    std::string PortName = "COM1";     // applied when the dialog is accepted
    int BaudIndex = kDefaultBaudIndex; // -1 when no line speed is selected
    std::string VRef1 = "4096";        // mV, outputs 1 and 2
    std::string VRef2 = "4096";        // mV, outputs 3 to 6
    std::string Quartz = "20";         // MHz
    std::string Instructions = "29";   // DSP instructions per sample
};

// A settings text read as a whole number; nothing when it is empty or not a whole number.
std::optional<long> wholeNumber(const std::string& text);

} // namespace ombrix
