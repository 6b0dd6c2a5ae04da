// Exit and change rules of the main window's fields: what leaving a field (or changing its
// text) does to the forms, and the limits derived from the number of samples.
//
// Every rule works on the forms in place and returns a RuleOutcome. The window then
//   1. writes the texts named in `changed` back to their edits (for NumOfSam this fires its
//      change handler, which must run NumOfSamChange),
//   2. marks the forms modified when `markModified` is set,
//   3. shows `error` in a message box when it is set: a text could not be read as a number;
//      that field kept its text and the rest of the rule did not run,
//   4. calls CalculateForms(recalc->first, recalc->second) when `recalc` is set,
//   5. runs UpdateSweepSteps when `sweepStepsDue` is set (after the recalculation).
//
// Numbers written by the rules use formatGeneral (15 significant digits, `sep` as separator),
// so a clamped value may be longer than the field's typing limit. Output indexes are 0..5.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/model/devicesettings.h"
#include "core/model/formsconfig.h"

namespace ombrix {

// The texts a rule can rewrite.
enum class ModelField {
    Freq,
    NumOfSam,
    Ph_Disp,
    StartFreq,
    StopFreq,
    Step,
    StepList, // the drop-down list of the step combo box
    Time,
    Offset,
    Harmonics,
    Pulse,
    ControlPanelFreq,
};

struct RuleOutcome {
    std::vector<ModelField> changed;           // texts rewritten, in the order they changed
    std::optional<std::pair<int, int>> recalc; // CalculateForms(first, last)
    std::optional<std::string> error;          // message to show; see the header
    bool markModified = false;
    bool sweepStepsDue = false; // run UpdateSweepSteps afterwards

    bool hasChanged(ModelField f) const;
    // Adds a later rule's outcome to this one (recalculation ranges are joined).
    void merge(const RuleOutcome& later);
};

// The message shown for a text that is not a number ("'x' is not a valid floating point
// value") and for one that is not a whole number ("'x' is not a valid integer value").
std::string invalidFloatMessage(const std::string& text);
std::string invalidIntegerMessage(const std::string& text);

// The drop-down list of the step combo box until UpdateSweepSteps first replaces it.
const std::vector<std::string>& defaultSweepSteps();

// The highest output frequency for N samples per period, with the quartz Q [MHz] and the
// number of instructions per sample G of the settings dialog: one period of N samples, each
// taking G + 1 cycles at twice the quartz frequency, minus 1 Hz, rounded down. Evaluated as
// 2·Q·10^6 / (N·(G + 1)) − 1 so that an exact quotient is not lost to rounding. An error
// message when Q or G is not a whole number, Q is 0 or G + 1 is not positive.
struct MaxFrequencyResult {
    std::optional<long double> value;
    std::optional<std::string> error;
};
MaxFrequencyResult computeMaxFrequency(long samples, const DeviceSettings& device);

// Leaving Freq: empty -> "1"; above maxFrequency -> maxFrequency. All outputs are
// recalculated only while the graphs show spectra (`spectrumShown`).
RuleOutcome FreqExit(GeneralSettings& g, long double maxFrequency, char sep, bool spectrumShown);

// Leaving the control panel's frequency field: empty -> "1"; above maxFrequency ->
// maxFrequency. Nothing is recalculated.
RuleOutcome ControlPanelFreqExit(std::string& controlPanelFreq, long double maxFrequency, char sep);

// Leaving NumOfSam: empty -> "1000"; below 8 -> "8"; above MaxSamples (8192 shared among the
// active outputs) -> MaxSamples, so no output's buffer is ever asked for more than its share.
// All outputs are recalculated; sweepStepsDue follows SwapEnabled.
RuleOutcome NumOfSamExit(GeneralSettings& g);

// Leaving the phase shift of output `output` (1..5, i.e. "Output 2".."Output 6"): empty or a
// lone "-" -> "0"; the text becomes the hidden phase of that output's fundamental (row 0), and
// that output is recalculated. A text that is not a number is reported and not copied.
RuleOutcome Ph_DispExit(FormsConfig& f, int output, char sep);

// Leaving StartFreq / StopFreq: empty or 0 -> "1"; above maxFrequency -> maxFrequency.
RuleOutcome StartFreqExit(GeneralSettings& g, long double maxFrequency, char sep);
RuleOutcome StopFreqExit(GeneralSettings& g, long double maxFrequency, char sep);

// Leaving the step combo box: empty or below 1 -> "1"; above maxFrequency -> maxFrequency;
// then Time is raised to 1000 / Step when it is shorter (see enforceMinimumStepTime).
RuleOutcome StepComboBoxExit(GeneralSettings& g, long double maxFrequency, char sep);

// Leaving Time: empty or 0 -> "1"; then Time is raised to 1000 / Step when it is shorter.
RuleOutcome TimeExit(GeneralSettings& g, char sep);

// A sweep step lasts at least one period of the step frequency: when 1000 / Step [ms] is
// greater than Time, Time := 1000 / Step. A Step of 0 (its value after New) leaves Time as it
// is. Time is read as a number, since this rule itself may write a fraction into it.
RuleOutcome enforceMinimumStepTime(GeneralSettings& g, char sep);

// Switching the sweep on or off (a click on SwapEnabled or SwapCyclic): marks the forms
// modified; with the sweep on, enforces the minimum step time. Nothing is recalculated.
RuleOutcome SwapEnabledClick(GeneralSettings& g, char sep);

// Leaving the SwapEnabled box: the tab order it takes (7) while the sweep is on.
std::optional<int> SwapEnabledExit(const GeneralSettings& g);

// A change of the NumOfSam text. When it holds a whole number N > 0: the new MaxFrequency,
// the track bar maximum (MaxFrequency truncated), and the outcome of FreqExit,
// ControlPanelFreqExit, StartFreqExit, StopFreqExit and StepComboBoxExit run in that order
// against it (stopping at the first error). The window sets SampleCountChanged in every case.
// While the count is being typed (`clampFrequencies` false) only the limits follow each
// keystroke: the frequencies are clamped once, against the count that is finally committed,
// so that no intermediate count ("9", "99", ...) lowers them for good.
struct SampleCountChange {
    std::optional<long double> maxFrequency; // nothing: the limit stays as it was
    std::optional<int> trackBarMax;
    RuleOutcome outcome;
};
SampleCountChange NumOfSamChange(GeneralSettings& g, std::string& controlPanelFreq,
                                 const DeviceSettings& device, char sep, bool spectrumShown,
                                 bool clampFrequencies = true);

// A change of the Freq text: the control panel's frequency field mirrors it.
void FreqChange(const GeneralSettings& g, std::string& controlPanelFreq);

// An arrow of the NumOfSam up-down (`direction` +1 or -1): the count moves by one within
// 1..MaxSamples (a text that is not a whole number starts from 1), the forms are marked
// modified and all outputs are recalculated with the new count.
RuleOutcome UpDown1001Click(GeneralSettings& g, int direction);

// The step choices for a sweep starting at StartFreq: base = StartFreq − fNext, where fNext is
// the whole frequency below StartFreq reached by lengthening each of the N sample periods by
// one clock step of the device. Step := base; the list holds i·base for i = 1..10 while below
// StartFreq.
struct SweepSteps {
    std::vector<std::string> items; // the new drop-down list
    std::string text;               // the new Step text (also written into g.Step)
    std::optional<std::string> error;
};
SweepSteps UpdateSweepSteps(GeneralSettings& g, const DeviceSettings& device, char sep);

// Leaving a harmonic amplitude or phase cell or an offset field, with `shown` the output whose
// page is shown: every empty or lone "-" cell of that output and every empty or lone "-"
// offset of all outputs becomes "0"; that output is recalculated.
RuleOutcome onExit(FormsConfig& f, int shown);

// Leaving a pulse field of output `shown`: empty or "-" -> "0", above 100 -> "100" (all six
// texts); then the four times are cut from tF backwards until they sum to at most 100, and tF
// takes up what is missing to 100. That output is recalculated.
RuleOutcome onExitPulse(FormsConfig& f, int shown, char sep);

} // namespace ombrix
