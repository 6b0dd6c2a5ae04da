// The sample transfer: stop the outputs, turn the sweep off, one CmdSamples block per active
// output, then (for "Send all") the frequency and the reference codes, then the sweep table
// or the zero sweep frame, and the end steps. It works on a snapshot of the forms, the device
// settings and the sample store taken when it starts, and runs on the device link thread
// (linkthread.h) beside the user interface, which only the reporting interfaces reach.
#pragma once

#include "core/device/devicecommands.h"
#include "core/device/encodings.h"
#include "core/model/devicesettings.h"
#include "core/model/formsconfig.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ombrix {

// Everything a transfer reads, taken when it starts.
struct TransferInput {
    bool sendAll = true; // SendAllFlag
    // The forms' general settings, as typed. Output 1 is sent whatever Active[0] holds, and
    // the main frequency counts as enabled while the sweep is off, as the main window has it.
    GeneralSettings general;
    DeviceSettings settings;
    std::array<std::vector<double>, kOutputCount> samples; // volts, one period per output
    char sep = '.';
};

// The transfer's numbers, checked before anything is sent.
struct TransferPlan {
    int samples = 0;                      // N
    std::uint8_t activeMask = 0x01;       // bit k-1 = Output k
    double step1 = 0;                     // volts per code, outputs 1 and 2
    double step2 = 0;                     // volts per code, outputs 3 to 6
    std::optional<TimingWords> frequency; // "Send all" with Freq > 0
    std::uint16_t reference1 = 0;
    std::uint16_t reference2 = 0;
    bool sweep = false;
    std::uint8_t sweepMode = 0; // 1 single pass, 3 cyclic
    std::uint16_t cyclesPerMs = 0;
    std::uint16_t stepTimeMs = 0;
    std::uint16_t sweepWordCount = 0;
    std::vector<std::uint16_t> sweepWords; // three timing words per frequency step
    int progressMax = 0;                   // N + K + 1, plus N per further active output
};

// Checks and converts the input. Refused (nothing, `error` set) when the number of samples
// is not a whole number from 1 to 65535, an active output holds no samples or one that is not
// a finite number, a device setting is not a whole number, the
// frequency of a "Send all" is faster or slower than the device can play, or the sweep is on
// and its end is below its start, its table would not fit the 16-bit word count, a step has
// no playable timing, its step time is not a number from 0 to 65535 ms or the quartz gives
// more cycles per millisecond than the header's 16 bits hold.
std::optional<TransferPlan> planTransfer(const TransferInput& input, std::string& error);

// The sample code words of output `output` (0..5): N codes, 0 V (0x1000) where the store
// holds fewer points than N.
std::vector<std::uint16_t> sampleWords(const TransferInput& input, const TransferPlan& plan,
                                       int output);

// Where a transfer reports its progress (the progress bar).
class TransferProgress {
  public:
    virtual ~TransferProgress() = default;
    virtual void SetProgressMax(int maximum) = 0;
    virtual void StepProgress() = 0;
};

// The transfer itself, on the calling thread, over the commands' port, clock, user interface
// and buttons. Their StopRequested is polled between words and sweep steps; a failed block
// reply sets it; it is cleared at the end. RunMask becomes 0 (the outputs stay stopped).
void SendThread(DeviceCommands& commands, TransferProgress& progress, const TransferInput& input,
                const TransferPlan& plan);

} // namespace ombrix
