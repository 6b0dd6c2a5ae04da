#include "core/model/exitrules.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "core/model/numbertext.h"

namespace ombrix {

namespace {

constexpr const char* kDivisionByZero = "Floating point division by zero";
constexpr const char* kInvalidOperation = "Invalid floating point operation";

constexpr int kMinSamplesAfterExit = 8;
constexpr const char* kDefaultSamples = "1000";

// Writes `value` into `field` and records it when the text actually changes.
void assign(std::string& field, const std::string& value, ModelField id, RuleOutcome& o) {
    if (field == value)
        return;
    field = value;
    if (!o.hasChanged(id))
        o.changed.push_back(id);
}

bool emptyOrMinus(const std::string& s) {
    return s.empty() || s == "-";
}

// Frequency field clamp shared by Freq, the control panel, StartFreq and StopFreq: an empty
// text (and, when `zeroToOne`, a value of 0) becomes "1"; a value above the limit becomes the
// limit. Returns false (with the message in `o`) when the text is not a number.
bool clampFrequency(std::string& text, long double maxFrequency, char sep, bool zeroToOne,
                    ModelField id, RuleOutcome& o) {
    if (text.empty())
        assign(text, "1", id, o);
    auto v = parseNumber(text, sep);
    if (!v) {
        o.error = invalidFloatMessage(text);
        return false;
    }
    if (zeroToOne && *v == 0) {
        assign(text, "1", id, o);
        v = 1;
    }
    if (*v > maxFrequency)
        assign(text, formatGeneral(maxFrequency, sep), id, o);
    return true;
}

} // namespace

bool RuleOutcome::hasChanged(ModelField f) const {
    return std::find(changed.begin(), changed.end(), f) != changed.end();
}

void RuleOutcome::merge(const RuleOutcome& later) {
    for (ModelField f : later.changed)
        if (!hasChanged(f))
            changed.push_back(f);
    if (later.recalc) {
        if (recalc)
            recalc = std::pair{std::min(recalc->first, later.recalc->first),
                               std::max(recalc->second, later.recalc->second)};
        else
            recalc = later.recalc;
    }
    if (later.error && !error)
        error = later.error;
    markModified = markModified || later.markModified;
    sweepStepsDue = sweepStepsDue || later.sweepStepsDue;
}

std::string invalidFloatMessage(const std::string& text) {
    return "'" + text + "' is not a valid floating point value";
}

std::string invalidIntegerMessage(const std::string& text) {
    return "'" + text + "' is not a valid integer value";
}

const std::vector<std::string>& defaultSweepSteps() {
    static const std::vector<std::string> steps{"1",  "3",   "5",   "10", "20",
                                                "50", "100", "200", "250"};
    return steps;
}

MaxFrequencyResult computeMaxFrequency(long samples, const DeviceSettings& device) {
    auto q = wholeNumber(device.Quartz);
    if (!q)
        return {std::nullopt, invalidIntegerMessage(device.Quartz)};
    auto g = wholeNumber(device.Instructions);
    if (!g)
        return {std::nullopt, invalidIntegerMessage(device.Instructions)};
    if (samples <= 0 || *q == 0 || *g + 1 == 0)
        return {std::nullopt, std::string(kDivisionByZero)};
    // The sample period N·(G+1)/(2·Q·10^6) is inverted as one quotient of whole numbers, so a
    // limit of exactly 3200 Hz stays 3200 and is not floored to 3199.999...
    const long double cycles = 2.0L * static_cast<long double>(*q) * 1e6L;
    const long double perPeriod =
        static_cast<long double>(samples) * static_cast<long double>(*g + 1);
    return {std::floor(cycles / perPeriod - 1.0L), std::nullopt};
}

RuleOutcome FreqExit(GeneralSettings& g, long double maxFrequency, char sep, bool spectrumShown) {
    RuleOutcome o;
    if (!clampFrequency(g.Freq, maxFrequency, sep, false, ModelField::Freq, o))
        return o;
    // A new frequency changes the spectra's frequency axis, not the samples of one period.
    if (spectrumShown)
        o.recalc = std::pair{0, kOutputCount - 1};
    return o;
}

RuleOutcome ControlPanelFreqExit(std::string& controlPanelFreq, long double maxFrequency,
                                 char sep) {
    RuleOutcome o;
    clampFrequency(controlPanelFreq, maxFrequency, sep, false, ModelField::ControlPanelFreq, o);
    return o;
}

RuleOutcome NumOfSamExit(GeneralSettings& g) {
    RuleOutcome o;
    if (g.NumOfSam.empty())
        assign(g.NumOfSam, kDefaultSamples, ModelField::NumOfSam, o);
    const int limit = maxSamples(activeCount(g));
    auto n = parseInteger(g.NumOfSam);
    if (!n) {
        o.error = invalidIntegerMessage(g.NumOfSam);
        return o;
    }
    if (*n < kMinSamplesAfterExit)
        assign(g.NumOfSam, std::to_string(kMinSamplesAfterExit), ModelField::NumOfSam, o);
    else if (*n > limit)
        assign(g.NumOfSam, std::to_string(limit), ModelField::NumOfSam, o);
    o.recalc = std::pair{0, kOutputCount - 1};
    o.sweepStepsDue = g.SwapEnabled;
    return o;
}

RuleOutcome Ph_DispExit(FormsConfig& f, int output, char sep) {
    RuleOutcome o;
    if (output < 1 || output >= kOutputCount)
        return o;
    std::string& text = f.General.Ph_Disp[output];
    if (emptyOrMinus(text))
        assign(text, "0", ModelField::Ph_Disp, o);
    if (!parseNumber(text, sep)) {
        o.error = invalidFloatMessage(text);
        return o;
    }
    // The fundamental's hidden phase carries the shift into the calculation.
    assign(f.Outputs[output].Harmonics[0].Phase, text, ModelField::Harmonics, o);
    o.recalc = std::pair{output, output};
    return o;
}

RuleOutcome StartFreqExit(GeneralSettings& g, long double maxFrequency, char sep) {
    RuleOutcome o;
    clampFrequency(g.StartFreq, maxFrequency, sep, true, ModelField::StartFreq, o);
    return o;
}

RuleOutcome StopFreqExit(GeneralSettings& g, long double maxFrequency, char sep) {
    RuleOutcome o;
    clampFrequency(g.StopFreq, maxFrequency, sep, true, ModelField::StopFreq, o);
    return o;
}

RuleOutcome enforceMinimumStepTime(GeneralSettings& g, char sep) {
    RuleOutcome o;
    auto step = parseNumber(g.Step, sep);
    if (!step) {
        o.error = invalidFloatMessage(g.Step);
        return o;
    }
    if (*step <= 0)
        return o; // no step frequency, no minimum
    auto time = parseNumber(g.Time, sep);
    if (!time) {
        o.error = invalidFloatMessage(g.Time);
        return o;
    }
    const long double minimum = 1000.0L / *step; // one period of the step frequency, in ms
    if (minimum > *time)
        assign(g.Time, formatGeneral(minimum, sep), ModelField::Time, o);
    return o;
}

RuleOutcome StepComboBoxExit(GeneralSettings& g, long double maxFrequency, char sep) {
    RuleOutcome o;
    if (g.Step.empty())
        assign(g.Step, "1", ModelField::Step, o);
    auto v = parseNumber(g.Step, sep);
    if (!v) {
        o.error = invalidFloatMessage(g.Step);
        return o;
    }
    if (*v < 1)
        assign(g.Step, "1", ModelField::Step, o);
    else if (*v > maxFrequency)
        assign(g.Step, formatGeneral(maxFrequency, sep), ModelField::Step, o);
    o.merge(enforceMinimumStepTime(g, sep));
    return o;
}

RuleOutcome TimeExit(GeneralSettings& g, char sep) {
    RuleOutcome o;
    if (g.Time.empty())
        assign(g.Time, "1", ModelField::Time, o);
    auto v = parseNumber(g.Time, sep);
    if (!v) {
        o.error = invalidFloatMessage(g.Time);
        return o;
    }
    if (*v == 0)
        assign(g.Time, "1", ModelField::Time, o);
    o.merge(enforceMinimumStepTime(g, sep));
    return o;
}

RuleOutcome SwapEnabledClick(GeneralSettings& g, char sep) {
    RuleOutcome o;
    o.markModified = true;
    if (g.SwapEnabled)
        o.merge(enforceMinimumStepTime(g, sep));
    return o;
}

std::optional<int> SwapEnabledExit(const GeneralSettings& g) {
    return g.SwapEnabled ? std::optional<int>(7) : std::nullopt;
}

SampleCountChange NumOfSamChange(GeneralSettings& g, std::string& controlPanelFreq,
                                 const DeviceSettings& device, char sep, bool spectrumShown,
                                 bool clampFrequencies) {
    SampleCountChange c;
    auto n = parseInteger(g.NumOfSam);
    if (!n || *n <= 0)
        return c;
    MaxFrequencyResult m = computeMaxFrequency(*n, device);
    if (m.error) {
        c.outcome.error = m.error;
        return c;
    }
    const long double maxF = *m.value;
    c.maxFrequency = maxF;
    c.trackBarMax = static_cast<int>(std::clamp<long double>(std::trunc(maxF), INT_MIN, INT_MAX));
    if (!clampFrequencies)
        return c;

    // Every frequency field is brought under the new limit; the first text that is not a
    // number stops the chain, as its message is shown.
    c.outcome.merge(FreqExit(g, maxF, sep, spectrumShown));
    if (!c.outcome.error)
        c.outcome.merge(ControlPanelFreqExit(controlPanelFreq, maxF, sep));
    if (!c.outcome.error)
        c.outcome.merge(StartFreqExit(g, maxF, sep));
    if (!c.outcome.error)
        c.outcome.merge(StopFreqExit(g, maxF, sep));
    if (!c.outcome.error)
        c.outcome.merge(StepComboBoxExit(g, maxF, sep));
    return c;
}

void FreqChange(const GeneralSettings& g, std::string& controlPanelFreq) {
    controlPanelFreq = g.Freq;
}

RuleOutcome UpDown1001Click(GeneralSettings& g, int direction) {
    RuleOutcome o;
    const int limit = maxSamples(activeCount(g));
    auto n = parseInteger(g.NumOfSam);
    const long long next = n ? static_cast<long long>(*n) + (direction < 0 ? -1 : 1) : 1;
    assign(g.NumOfSam, std::to_string(std::clamp<long long>(next, 1, limit)), ModelField::NumOfSam,
           o);
    o.markModified = true;
    // Recalculated after the new count is in place, so the calculation reads it.
    o.recalc = std::pair{0, kOutputCount - 1};
    return o;
}

SweepSteps UpdateSweepSteps(GeneralSettings& g, const DeviceSettings& device, char sep) {
    SweepSteps r;
    auto start = parseNumber(g.StartFreq, sep);
    if (!start) {
        r.error = invalidFloatMessage(g.StartFreq);
        return r;
    }
    auto samples = parseInteger(g.NumOfSam);
    if (!samples) {
        r.error = invalidIntegerMessage(g.NumOfSam);
        return r;
    }
    auto quartz = wholeNumber(device.Quartz);
    if (!quartz) {
        r.error = invalidIntegerMessage(device.Quartz);
        return r;
    }
    auto instructions = wholeNumber(device.Instructions);
    if (!instructions) {
        r.error = invalidIntegerMessage(device.Instructions);
        return r;
    }
    const double S = static_cast<double>(*start);
    const double N = *samples;
    if (S == 0 || N == 0 || *quartz == 0) {
        r.error = kDivisionByZero;
        return r;
    }
    // One clock step by which the device can lengthen a sample period, in seconds, and the
    // fixed time of the sample loop's instructions.
    const double Tq = 1.0 / (static_cast<double>(*quartz) * 2.0 * 1e6);
    const double T1 = static_cast<double>(*instructions) * 1e-9;
    const double k = (1.0 / (S * N) - T1) / Tq;
    const double period = ((k + 1.0) * Tq + T1) * N;
    if (period == 0) {
        r.error = kDivisionByZero;
        return r;
    }
    const double fNext = std::floor(1.0 / period);
    const double base = S - fNext;
    if (!std::isfinite(base)) {
        r.error = kInvalidOperation;
        return r;
    }
    r.text = formatGeneral(base, sep);
    for (int i = 1; i <= 10; ++i)
        if (i * base < S)
            r.items.push_back(formatGeneral(i * base, sep));
    g.Step = r.text;
    return r;
}

RuleOutcome onExit(FormsConfig& f, int shown) {
    RuleOutcome o;
    if (shown < 0 || shown >= kOutputCount)
        return o;
    for (auto& row : f.Outputs[shown].Harmonics) {
        if (emptyOrMinus(row.Amplitude))
            assign(row.Amplitude, "0", ModelField::Harmonics, o);
        if (emptyOrMinus(row.Phase))
            assign(row.Phase, "0", ModelField::Harmonics, o);
    }
    for (auto& out : f.Outputs)
        if (emptyOrMinus(out.Offset))
            assign(out.Offset, "0", ModelField::Offset, o);
    o.recalc = std::pair{shown, shown};
    return o;
}

RuleOutcome onExitPulse(FormsConfig& f, int shown, char sep) {
    RuleOutcome o;
    if (shown < 0 || shown >= kOutputCount)
        return o;
    PulseParams& p = f.Outputs[shown].Pulse;
    for (auto& text : p) {
        if (emptyOrMinus(text))
            assign(text, "0", ModelField::Pulse, o);
        auto v = parseNumber(text, sep);
        if (!v) {
            o.error = invalidFloatMessage(text);
            return o;
        }
        if (*v > 100)
            assign(text, "100", ModelField::Pulse, o);
    }

    // The times as written, so the sum is that of the texts the calculation will read. Sums
    // are rounded to ten decimals (far below any typed digit): binary fractions such as
    // 35.6 + 40.19 + 24.21 miss 100 by 7e-18, which would be written as a time of its own.
    auto value = [&](int i) { return *parseNumber(p[i], sep); };
    auto decimal = [](long double x) { return std::round(x * 1e10L) / 1e10L + 0.0L; };
    auto sum = [&] { return decimal(value(tD1) + value(tR) + value(tD2) + value(tF)); };
    long double s = sum();
    for (int i : {tF, tD2, tR, tD1}) {
        if (s <= 100)
            break;
        const long double cut = decimal(value(i) - (s - 100));
        assign(p[i], cut < 0 ? std::string("0") : formatGeneral(cut, sep), ModelField::Pulse, o);
        s = sum();
    }
    if (s < 100)
        assign(p[tF], formatGeneral(decimal(100 - (s - value(tF))), sep), ModelField::Pulse, o);
    o.recalc = std::pair{shown, shown};
    return o;
}

} // namespace ombrix
