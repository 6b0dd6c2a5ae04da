// Kept apart from the controller: the simulator's headers and the forms model both define
// the number of outputs.
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
