// The program's one device port: opens the simulated generator when the port name is
// "Simulator" and a terminal device otherwise, and from then on passes every call to the
// port it opened. The command code never needs to know which one it talks to.
#pragma once

#include "core/device/forwardingport.h"
#include "core/device/simport.h"

#include <memory>

namespace ombrix {

class SelectingPort final : public ForwardingPort {
  public:
    // `device` serves every name but "Simulator", `simulator` that one. While no port is
    // open, waits pass on `clock`.
    SelectingPort(std::unique_ptr<SerialPort> device, std::unique_ptr<SimPort> simulator,
                  Clock& clock = systemClock());

    // The other calls go to the port last opened, until it is closed.
    bool OpenPort(const std::string& name, int baudIndex) override;
    bool WaitReadable(int timeoutMs) override;
    bool ClosePort() override;

    // The simulated generator (for displays of what it plays).
    SimPort& simulator() { return *simulator_; }

  private:
    std::unique_ptr<SerialPort> device_;
    std::unique_ptr<SimPort> simulator_;
    Clock& clock_;
};

// A SelectingPort over a TermiosPort and a paced SimPort running on `clock`.
std::unique_ptr<SelectingPort> makeDevicePort(Clock& clock = systemClock());

} // namespace ombrix
