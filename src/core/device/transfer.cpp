#include "core/device/transfer.h"

#include "core/compute/vectorstate.h"

#include "core/device/frame.h"
#include "core/device/protocol.h"
#include "core/model/numbertext.h"

#include <algorithm>
#include <cmath>

namespace ombrix {

namespace {

const char* sweepErrorText(const SweepTable& table) {
    switch (table.error) {
    case SweepError::None:
        return "";
    case SweepError::InvalidInput:
        return "The sweep frequencies are not numbers.";
    case SweepError::EndBelowStart:
        return "The sweep stop frequency is below its start frequency.";
    case SweepError::TooLong:
        return "The sweep has too many steps for the device (at most 21845).";
    case SweepError::Timing:
        return timingErrorText(table.timingError);
    }
    return "";
}

bool planSweep(const TransferInput& in, const DeviceNumbers& numbers, TransferPlan& plan,
               std::string& error) {
    const GeneralSettings& g = in.general;
    const auto start = parseNumber(g.StartFreq, in.sep);
    const auto stop = parseNumber(g.StopFreq, in.sep);
    const auto step = parseNumber(g.Step, in.sep);
    if (!start || !stop || !step) {
        error = "The sweep frequencies are not numbers.";
        return false;
    }
    const SweepTable table =
        sweepTable(static_cast<double>(*start), static_cast<double>(*stop),
                   static_cast<double>(*step), plan.samples, static_cast<double>(numbers.quartz),
                   static_cast<double>(numbers.instructions));
    if (!table.ok()) {
        error = std::string("Sweep refused: ") + sweepErrorText(table);
        return false;
    }
    // The step time may hold a fraction (the minimum step time rule writes one); the device
    // takes whole milliseconds.
    const auto time = parseNumber(g.Time, in.sep);
    if (!time || !(*time >= 0) || std::trunc(*time) > 65535) {
        error = "The sweep step time is not a number of milliseconds from 0 to 65535.";
        return false;
    }
    const std::int64_t cycles = sweepCyclesPerMs(static_cast<double>(numbers.quartz));
    if (cycles > 0xFFFF) {
        error = "Sweep refused: the quartz gives " + std::to_string(cycles) +
                " cycles per millisecond, more than the device counts (at most 65535).";
        return false;
    }
    plan.sweep = true;
    plan.sweepMode = g.SwapCyclic ? SweepCyclic : SweepSingle;
    plan.cyclesPerMs = static_cast<std::uint16_t>(cycles);
    plan.stepTimeMs = static_cast<std::uint16_t>(std::trunc(*time));
    plan.sweepWordCount = table.wordCount;
    plan.sweepWords = table.words;
    return true;
}

} // namespace

std::optional<TransferPlan> planTransfer(const TransferInput& in, std::string& error) {
    const GeneralSettings& g = in.general;
    TransferPlan plan;
    const auto n = parseInteger(g.NumOfSam);
    if (!n || *n < 1 || *n > 0xFFFF) {
        error = "The number of samples is not a whole number from 1 to 65535.";
        return std::nullopt;
    }
    plan.samples = *n;
    const auto numbers = readDeviceNumbers(in.settings, error);
    if (!numbers)
        return std::nullopt;
    plan.step1 = sampleStep(static_cast<double>(numbers->vref1));
    plan.step2 = sampleStep(static_cast<double>(numbers->vref2));
    plan.reference1 = referenceCode(static_cast<double>(numbers->vref1));
    plan.reference2 = referenceCode(static_cast<double>(numbers->vref2));

    int active = 1;
    for (int k = 1; k < kOutputCount; ++k)
        if (g.Active[static_cast<std::size_t>(k)]) {
            plan.activeMask |= static_cast<std::uint8_t>(1u << k);
            ++active;
        }

    // An output the device is to play must hold a period: an empty store means its calculation
    // failed, and its zeros would be sent as if they were the waveform.
    for (int k = 0; k < kOutputCount; ++k) {
        if (!(plan.activeMask & (1u << k)))
            continue;
        const auto& store = in.samples[static_cast<std::size_t>(k)];
        const bool finite =
            std::all_of(store.begin(), store.end(), [](double v) { return std::isfinite(v); });
        if (store.empty() || !finite) {
            error = "Samples refused: Output " + std::to_string(k + 1) +
                    (store.empty() ? " holds no valid samples (its calculation failed)."
                                   : " holds a sample that is not a number.");
            return std::nullopt;
        }
    }

    if (in.sendAll) {
        const auto freq = parseNumber(g.Freq, in.sep);
        if (freq && *freq > 0) {
            const TimingResult t = timingWords(static_cast<double>(*freq), plan.samples,
                                               static_cast<double>(numbers->quartz),
                                               static_cast<double>(numbers->instructions));
            if (!t.ok()) {
                error = std::string("Frequency refused: ") + timingErrorText(t.error);
                return std::nullopt;
            }
            plan.frequency = t.words;
        }
    }

    long long sweepSteps = 0;
    if (g.SwapEnabled) {
        if (!planSweep(in, *numbers, plan, error))
            return std::nullopt;
        sweepSteps = plan.sweepWordCount / 3;
    }
    // N + K + 1 with K + 1 sweep steps, then N for every further active output.
    const long long k = sweepSteps > 0 ? sweepSteps - 1 : 0;
    plan.progressMax = static_cast<int>(plan.samples + k + 1 +
                                        static_cast<long long>(plan.samples) * (active - 1));
    return plan;
}

std::vector<std::uint16_t> sampleWords(const TransferInput& in, const TransferPlan& plan,
                                       int output) {
    const auto& store = in.samples.at(static_cast<std::size_t>(output));
    const double step = output < 2 ? plan.step1 : plan.step2;
    std::vector<std::uint16_t> words(static_cast<std::size_t>(plan.samples), kSampleCodeZero);
    const std::size_t have = std::min(store.size(), words.size());
    for (std::size_t j = 0; j < have; ++j)
        words[j] = sampleCode(store[j], step);
    return words;
}

void SendThread(DeviceCommands& commands, TransferProgress& progress, const TransferInput& in,
                const TransferPlan& plan) {
    SerialPort& port = commands.port();
    Clock& clock = commands.clock();
    UserInterface& ui = commands.ui();
    std::atomic<bool>& stop = commands.StopRequested;

    commands.buttons().EnableControls(transferRunningControls());
    progress.SetProgressMax(plan.progressMax);

    commands.StopOutputs(false);
    Transact(port, clock, ui, sweepOffFrame(), Exchange::Command);

    std::uint8_t ordinal = 0;
    for (int i = 0; i < kOutputCount && !stop; ++i) {
        if (!(plan.activeMask & (1u << i)))
            continue;
        const std::vector<std::uint16_t> words = sampleWords(in, plan, i);
        BlockWriter block(port, clock);
        block.writeHeader(samplesHeader(static_cast<std::uint8_t>(i), ordinal,
                                        static_cast<std::uint16_t>(plan.samples), plan.activeMask));
        for (std::size_t j = 0; j < words.size() && !stop; ++j) {
            block.writeWord(words[j]);
            progress.StepProgress();
        }
        ++ordinal;
        if (block.finish(ui) != ReplyOk)
            stop = true;
    }

    if (in.sendAll) {
        if (plan.frequency)
            Transact(port, clock, ui, frequencyFrame(*plan.frequency), Exchange::Command);
        Transact(port, clock, ui, referenceFrame(plan.reference1, plan.reference2),
                 Exchange::Command);
    }

    if (plan.sweep) {
        BlockWriter block(port, clock);
        block.writeHeader(sweepHeader(static_cast<SweepMode>(plan.sweepMode), plan.cyclesPerMs,
                                      plan.stepTimeMs, plan.sweepWordCount));
        for (std::size_t w = 0; w + 3 <= plan.sweepWords.size() && !stop; w += 3) {
            block.writeWords(std::span<const std::uint16_t>(plan.sweepWords.data() + w, 3));
            progress.StepProgress();
        }
        block.finish(ui);
    } else {
        Transact(port, clock, ui, sweepOffFrame(), Exchange::Block);
    }

    port.PurgeTransmit();
    stop = false;
    commands.buttons().EnableControls(afterTransferControls(!in.general.SwapEnabled));
}

} // namespace ombrix
