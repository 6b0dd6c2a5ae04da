#include "simprobe.h"

#include "core/device/selectingport.h"
#include "core/device/simstatejson.h"

namespace ombrix {
// Declared beside the controller, whose header this file cannot include.
std::unique_ptr<SerialPort> makeProgramDevicePort(Clock& clock, bool pacing);
} // namespace ombrix

namespace ombrix::testkit {

std::unique_ptr<SerialPort> makeUnpacedProgramPort(Clock& clock) {
    return makeProgramDevicePort(clock, false);
}

std::string simulatorStateJson(SerialPort& port) {
    auto& selecting = dynamic_cast<SelectingPort&>(port);
    return selecting.simulator().withGenerator([](SimGenerator& g) { return simStateJson(g); });
}

} // namespace ombrix::testkit
