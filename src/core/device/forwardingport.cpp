#include "core/device/forwardingport.h"

namespace ombrix {

bool ForwardingPort::OpenPort(const std::string& name, int baudIndex) {
    rememberName(name);
    return target_ ? target_->OpenPort(name, baudIndex) : false;
}

bool ForwardingPort::IsOpen() const {
    return target_ && target_->IsOpen();
}

void ForwardingPort::SetPortEvents() {
    if (target_)
        target_->SetPortEvents();
}

bool ForwardingPort::WritePort(std::span<const std::uint8_t> bytes) {
    return target_ ? target_->WritePort(bytes) : false;
}

std::size_t ForwardingPort::ReadInto(std::uint8_t* into, std::size_t maxCount) {
    return target_ ? target_->ReadInto(into, maxCount) : 0;
}

bool ForwardingPort::WaitReadable(int timeoutMs) {
    return target_ ? target_->WaitReadable(timeoutMs) : false;
}

void ForwardingPort::FlushPort() {
    if (target_)
        target_->FlushPort();
}

void ForwardingPort::PurgeTransmit() {
    if (target_)
        target_->PurgeTransmit();
}

bool ForwardingPort::ClosePort() {
    return target_ ? target_->ClosePort() : false;
}

int ForwardingPort::LineBaud() const {
    return target_ ? target_->LineBaud() : 0;
}

} // namespace ombrix
