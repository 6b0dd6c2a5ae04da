// The program's device port: a terminal device, or the simulated generator by its name.
#include "core/device/selectingport.h"
#include "core/device/termiosport.h"

#include <memory>

namespace ombrix {

std::unique_ptr<SerialPort> makeProgramDevicePort(Clock& clock, bool pacing) {
    return std::make_unique<SelectingPort>(std::make_unique<TermiosPort>(),
                                           std::make_unique<SimPort>(clock, SimSettings{}, pacing),
                                           clock);
}

} // namespace ombrix
