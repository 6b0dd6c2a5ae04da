#include "core/device/selectingport.h"

#include "core/device/termiosport.h"

namespace ombrix {

SelectingPort::SelectingPort(std::unique_ptr<SerialPort> device, std::unique_ptr<SimPort> simulator,
                             Clock& clock)
    : device_(std::move(device)), simulator_(std::move(simulator)), clock_(clock) {}

bool SelectingPort::OpenPort(const std::string& name, int baudIndex) {
    rememberName(name);
    if (active_ != nullptr && active_->IsOpen())
        return false;
    SerialPort* port =
        name == kSimulatorPortName ? static_cast<SerialPort*>(simulator_.get()) : device_.get();
    if (!port->OpenPort(name, baudIndex)) {
        active_ = nullptr;
        return false;
    }
    active_ = port;
    return true;
}

bool SelectingPort::IsOpen() const {
    return active_ != nullptr && active_->IsOpen();
}

void SelectingPort::SetPortEvents() {
    if (active_)
        active_->SetPortEvents();
}

bool SelectingPort::WritePort(std::span<const std::uint8_t> bytes) {
    return active_ ? active_->WritePort(bytes) : false;
}

std::size_t SelectingPort::ReadInto(std::uint8_t* into, std::size_t maxCount) {
    return active_ ? active_->ReadInto(into, maxCount) : 0;
}

bool SelectingPort::WaitReadable(int timeoutMs) {
    if (active_)
        return active_->WaitReadable(timeoutMs);
    clock_.Sleep(timeoutMs);
    return false;
}

void SelectingPort::FlushPort() {
    if (active_)
        active_->FlushPort();
}

void SelectingPort::PurgeTransmit() {
    if (active_)
        active_->PurgeTransmit();
}

int SelectingPort::LineBaud() const {
    return active_ ? active_->LineBaud() : 0;
}

bool SelectingPort::ClosePort() {
    if (active_ == nullptr)
        return false;
    const bool closed = active_->ClosePort();
    active_ = nullptr;
    return closed;
}

std::unique_ptr<SelectingPort> makeDevicePort(Clock& clock) {
    return std::make_unique<SelectingPort>(std::make_unique<TermiosPort>(),
                                           std::make_unique<SimPort>(clock, SimSettings{}, true),
                                           clock);
}

} // namespace ombrix
