// What the in-process simulated generator holds, read through the program's device port, for
// tests that also include the forms model (whose output count the simulator's headers
// define again).
#pragma once

#include "core/device/clock.h"
#include "core/device/serialport.h"

#include <memory>
#include <string>

namespace ombrix::testkit {

// The program's port (makeProgramDevicePort) with an unpaced simulator on `clock`.
std::unique_ptr<SerialPort> makeUnpacedProgramPort(Clock& clock);

// The simulated generator's state as JSON (simStateJson) behind a port made above.
std::string simulatorStateJson(SerialPort& port);

} // namespace ombrix::testkit
