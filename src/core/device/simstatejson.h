// The simulated generator's state as JSON, for the devsim tool's state file and for tests.
#pragma once

#include "core/device/simgenerator.h"

#include <string>

namespace ombrix {

// Line speed, run mask, timing words and the frequency they play, reference codes and
// voltages, active mask, per-output sample codes and volts, sweep and counters.
std::string simStateJson(const SimGenerator& generator);

} // namespace ombrix
