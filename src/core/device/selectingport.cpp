#include "core/device/selectingport.h"

#include "core/device/termiosport.h"

namespace ombrix {

SelectingPort::SelectingPort(std::unique_ptr<SerialPort> device, std::unique_ptr<SimPort> simulator,
                             Clock& clock)
    : device_(std::move(device)), simulator_(std::move(simulator)), clock_(clock) {}

bool SelectingPort::OpenPort(const std::string& name, int baudIndex) {
    rememberName(name);
    if (target() != nullptr && target()->IsOpen())
        return false;
    SerialPort* port =
        name == kSimulatorPortName ? static_cast<SerialPort*>(simulator_.get()) : device_.get();
    if (!port->OpenPort(name, baudIndex)) {
        setTarget(nullptr);
        return false;
    }
    setTarget(port);
    return true;
}

bool SelectingPort::WaitReadable(int timeoutMs) {
    if (target())
        return ForwardingPort::WaitReadable(timeoutMs);
    clock_.Sleep(timeoutMs);
    return false;
}

bool SelectingPort::ClosePort() {
    if (target() == nullptr)
        return false;
    const bool closed = ForwardingPort::ClosePort();
    setTarget(nullptr);
    return closed;
}

std::unique_ptr<SelectingPort> makeDevicePort(Clock& clock) {
    return std::make_unique<SelectingPort>(std::make_unique<TermiosPort>(),
                                           std::make_unique<SimPort>(clock, SimSettings{}, true),
                                           clock);
}

} // namespace ombrix
