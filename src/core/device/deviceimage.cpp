#include "core/device/deviceimage.h"

#include "core/device/playback.h"
#include "core/model/numbertext.h"

#include <cmath>
#include <cstdlib>

namespace ombrix {

DeviceImage deviceImage(const SimState& state, double quartzMHz, double instructions) {
    DeviceImage image;
    image.runMask = state.runMask;
    image.timing = state.timing;
    image.referenceCode1 = state.referenceCode1;
    image.referenceCode2 = state.referenceCode2;
    image.sweepMode = state.sweepMode;
    for (std::size_t k = 0; k < kOutputCount; ++k) {
        OutputImage& out = image.outputs[k];
        const auto& codes = state.samples[k];
        out.plays = (state.runMask >> k) & 1U;
        out.samples = codes.size();
        if (codes.empty())
            continue;
        const auto n = static_cast<double>(codes.size());
        if (state.timingSet)
            out.hz = frequencyFromWords(state.timing, n, quartzMHz, instructions);
        // Outputs 1 and 2 run on the first reference, outputs 3 to 6 on the second.
        const double step =
            sampleStep(referenceMillivolts(k < 2 ? state.referenceCode1 : state.referenceCode2));
        // Without timing words the samples are drawn one millisecond apart.
        const double dtMs = out.hz > 0 ? 1000.0 / out.hz / n : 1.0;
        for (std::size_t j = 0; j < 2 * codes.size(); ++j) {
            out.timeMs.push_back(static_cast<double>(j) * dtMs);
            out.volts.push_back(sampleVolts(codes[j % codes.size()], step));
        }
    }
    if (state.sweepMode != 0) {
        const auto n = static_cast<double>(state.samples[0].empty() ? 0 : state.samples[0].size());
        double t = 0;
        for (std::size_t w = 0; w + 2 < state.sweepTable.size(); w += 3) {
            const TimingWords words{state.sweepTable[w], state.sweepTable[w + 1],
                                    state.sweepTable[w + 2]};
            image.sweepTimeMs.push_back(t);
            image.sweepHz.push_back(n > 0 ? frequencyFromWords(words, n, quartzMHz, instructions)
                                          : 0);
            t += state.sweepStepTimeMs;
        }
        if (!image.sweepHz.empty()) {
            image.sweepTimeMs.push_back(t);
            image.sweepHz.push_back(image.sweepHz.back());
        }
    }
    return image;
}

bool DeviceDifference::any() const {
    for (bool b : outputs)
        if (b)
            return true;
    return false;
}

std::string DeviceDifference::text() const {
    std::string text;
    for (std::size_t k = 0; k < kOutputCount; ++k)
        if (outputs[k])
            text += (text.empty() ? "Output " : ", Output ") + std::to_string(k + 1);
    return text;
}

DeviceDifference deviceDifference(const SimState& state, const TransferInput& forms,
                                  double quartzMHz, double instructions) {
    DeviceDifference d;
    std::string error;
    const auto plan = planTransfer(forms, error);
    if (!plan)
        return d;
    const auto n = static_cast<double>(plan->samples);
    bool frequencyDiffers = false;
    if (plan->frequency) {
        // Against what the user typed, not what the forms' words would play: the label under
        // the frequency and the control panel measure the same error.
        d.formsHz = static_cast<double>(parseNumber(forms.general.Freq, forms.sep).value_or(0));
        const double held =
            state.timingSet ? frequencyFromWords(state.timing, n, quartzMHz, instructions) : 0;
        d.ppm = frequencyErrorPpm(held, d.formsHz);
        frequencyDiffers = !state.timingSet || state.timing != *plan->frequency;
    }
    for (std::size_t k = 0; k < kOutputCount; ++k) {
        if (!((plan->activeMask >> k) & 1U))
            continue;
        const auto& held = state.samples[k];
        const auto& volts = forms.samples[k];
        bool differs = frequencyDiffers || held.size() != static_cast<std::size_t>(plan->samples) ||
                       volts.size() < held.size();
        const double step = k < 2 ? plan->step1 : plan->step2;
        for (std::size_t j = 0; !differs && j < held.size(); ++j)
            differs = std::abs(int{sampleCode(volts[j], step)} - int{held[j]}) > 1;
        d.outputs[k] = differs;
    }
    return d;
}

} // namespace ombrix
