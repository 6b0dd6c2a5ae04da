// What a generator holds, in the units a user reads: each output's period in volts over real
// time, whether it plays, the frequency its timing words give, the reference codes and the
// sweep as frequency steps over time; and which outputs differ from the forms.
// Plain functions over the generator's state (simgenerator.h), whether the state was read
// from the simulated generator or built from what a real device acknowledged.
#pragma once

#include "core/device/simgenerator.h"
#include "core/device/transfer.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ombrix {

struct OutputImage {
    bool plays = false;         // its run-mask bit is set
    std::size_t samples = 0;    // codes held
    std::vector<double> timeMs; // two periods at the played frequency, one point a sample
    std::vector<double> volts;
    double hz = 0; // played frequency (0 without timing words or samples)
};

struct DeviceImage {
    std::array<OutputImage, kOutputCount> outputs;
    std::uint8_t runMask = 0;
    TimingWords timing;
    std::uint16_t referenceCode1 = 0;
    std::uint16_t referenceCode2 = 0;
    std::uint8_t sweepMode = 0;
    std::vector<double> sweepTimeMs; // step starts, and the end of the last step
    std::vector<double> sweepHz;     // frequency of each step, the last repeated
};

// The image of `state` played with a DSP of `quartzMHz` and `instructions` per sample.
DeviceImage deviceImage(const SimState& state, double quartzMHz, double instructions);

// How the device differs from what the forms would send now.
struct DeviceDifference {
    std::array<bool, kOutputCount> outputs{}; // outputs that differ
    double formsHz = 0;                       // the frequency the forms ask for, as typed (0: none)
    double ppm = 0; // frequencyErrorPpm of what the device plays against formsHz
    bool any() const;
    // "Output 2, Output 5"; empty when none.
    std::string text() const;
};

// Outputs active in the forms whose held samples differ from the forms' sample codes by more
// than one code (or in number), and all of them when the held frequency differs from the one
// the forms give. `forms` as a transfer would read them; a plan that cannot be made flags
// nothing.
DeviceDifference deviceDifference(const SimState& state, const TransferInput& forms,
                                  double quartzMHz, double instructions);

} // namespace ombrix
