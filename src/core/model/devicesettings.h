// The settings dialog's texts: the live store of the device settings for this run.
//
// Commands read these texts whenever they need a value, whether the dialog was last closed
// with OK or Cancel; nothing here is saved between runs.
#pragma once

#include <optional>
#include <string>

namespace ombrix {

inline constexpr int kDefaultBaudIndex = 4; // "9600"

// The highest reference voltage the D/A converters take [mV].
inline constexpr int kMaxVRefMv = 4096;
// The generator as it is built: the settings start with these and "Set default" restores them.
inline constexpr int kDefaultVRefMv = kMaxVRefMv; // both references [mV]
inline constexpr int kDefaultQuartzMHz = 20;      // the DSP's quartz [MHz]
inline constexpr int kDefaultInstructions = 29;   // fixed DSP instructions per sample

struct DeviceSettings {
    std::string PortName = "COM1";                          // applied when the dialog is accepted
    int BaudIndex = kDefaultBaudIndex;                      // -1 when no line speed is selected
    std::string VRef1 = std::to_string(kDefaultVRefMv);     // mV, outputs 1 and 2
    std::string VRef2 = std::to_string(kDefaultVRefMv);     // mV, outputs 3 to 6
    std::string Quartz = std::to_string(kDefaultQuartzMHz); // MHz
    std::string Instructions = std::to_string(kDefaultInstructions); // per sample
};

// A settings text read as a whole number; nothing when it is empty or not a whole number.
std::optional<long> wholeNumber(const std::string& text);

} // namespace ombrix
