// The forms: everything the user describes about the six outputs, held as the texts typed.
//
// Numbers stay text until they are used (converted with the locale's decimal separator at
// that moment), exactly as the settings file stores them. Index 0..5 = "Output 1".."Output 6".
#pragma once

#include <array>
#include <string>

namespace ombrix {

inline constexpr int kOutputCount = 6;
inline constexpr int kHarmonicCount = 20;
inline constexpr int kPulseParamCount = 6;
inline constexpr int kTotalSamples = 8192; // device memory shared by the active outputs

enum class FormKind : int { Sine = 0, Pulse = 1, Equation = 2 };

// Pulse parameter indexes, in the fixed order used by the settings file and Copy settings.
enum PulseIndex : int { A2 = 0, A1 = 1, tD1 = 2, tR = 3, tD2 = 4, tF = 5 };

// Harmonic number r + 1; row 0 is the fundamental, whose Phase carries the output's shift.
struct HarmonicRow {
    std::string Amplitude = "0"; // volts
    std::string Phase = "0";     // degrees
    bool En = false;
    bool operator==(const HarmonicRow&) const = default;
};

using PulseParams = std::array<std::string, kPulseParamCount>;

struct OutputForm {
    FormKind Form = FormKind::Sine;
    std::string Offset = "0"; // volts added to every sample
    std::array<HarmonicRow, kHarmonicCount> Harmonics{};
    PulseParams Pulse{"0", "0", "50", "0", "50", "0"}; // A2, A1, tD1, tR, tD2, tF
    std::string Equation;                              // formula in X, up to 2000 characters
    bool operator==(const OutputForm&) const = default;
};

struct GeneralSettings {
    std::string Freq = "1000";     // Hz
    std::string NumOfSam = "1000"; // samples per period
    std::array<std::string, kOutputCount> Ph_Disp{"0", "0", "0", "0", "0", "0"};    // [1..5] used
    std::array<bool, kOutputCount> Active{true, false, false, false, false, false}; // [0] always
    std::string StartFreq = "1";
    std::string StopFreq = "1";
    std::string Step = "1";
    std::string Time = "1"; // whole milliseconds per sweep step
    bool SwapEnabled = false;
    bool SwapCyclic = false;
    bool SetMaxNumber = false;
    bool operator==(const GeneralSettings&) const = default;
};

struct FormsConfig {
    GeneralSettings General;
    std::array<OutputForm, kOutputCount> Outputs{};
    bool operator==(const FormsConfig&) const = default;
};

// The start-up forms.
FormsConfig startupForms();
// The forms after "New forms": pulse times all "0", sweep fields "0".
FormsConfig newForms();

// 1 + the number of active outputs among 2..6.
int activeCount(const GeneralSettings& g);
// 8192 divided among the active outputs (integer division).
int maxSamples(int activeCount);

} // namespace ombrix
