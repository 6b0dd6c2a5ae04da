#include "core/device/simport.h"

#include <algorithm>

namespace ombrix {

SimPort::SimPort(Clock& clock, SimSettings settings, bool pacing)
    : clock_(clock), generator_(std::move(settings)), pacing_(pacing) {}

bool SimPort::OpenPort(const std::string& name, int baudIndex) {
    std::lock_guard lock(mutex_);
    rememberName(name);
    if (open_ || name != kSimulatorPortName)
        return false;
    open_ = true;
    baudIndex_ = baudIndex;
    received_.clear();
    lineDebtBits_ = 0;
    return true;
}

bool SimPort::IsOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

int SimPort::LineBaud() const {
    std::lock_guard lock(mutex_);
    return open_ && pacing_ ? baudForIndex(baudIndex_) : 0;
}

void SimPort::setPacing(bool on) {
    std::lock_guard lock(mutex_);
    pacing_ = on;
}

bool SimPort::WritePort(std::span<const std::uint8_t> bytes) {
    int pauseMs = 0;
    {
        std::lock_guard lock(mutex_);
        if (!open_)
            return false;
        const int baud = baudForIndex(baudIndex_);
        if (pacing_) {
            // Ten bits per byte (start, 8 data, stop). Bits are counted exactly (times 1000, so
            // that dividing by the baud rate gives milliseconds); whole milliseconds are slept and
            // the rest carried over, so long transfers keep the line's pace.
            const auto baudRate = static_cast<std::uint64_t>(baud);
            lineDebtBits_ += bytes.size() * 10ULL * 1000ULL;
            pauseMs = static_cast<int>(lineDebtBits_ / baudRate);
            lineDebtBits_ -= static_cast<std::uint64_t>(pauseMs) * baudRate;
        }
        if (baud == generator_.baud()) {
            generator_.receive(bytes);
            collectReplies();
        }
    }
    clock_.Sleep(pauseMs);
    return true;
}

std::size_t SimPort::ReadInto(std::uint8_t* into, std::size_t maxCount) {
    std::lock_guard lock(mutex_);
    if (!open_)
        return 0;
    const std::size_t n = std::min({maxCount, kReceiveBufferSize, received_.size()});
    std::copy_n(received_.begin(), n, into);
    received_.erase(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

bool SimPort::WaitReadable(int timeoutMs) {
    {
        std::lock_guard lock(mutex_);
        if (open_ && received_.empty() && baudForIndex(baudIndex_) == generator_.baud()) {
            // Nothing else will arrive in-process: a block cut short by a stop ends here.
            generator_.lineIdle();
            collectReplies();
        }
        if (open_ && !received_.empty())
            return true;
    }
    clock_.Sleep(timeoutMs);
    return false;
}

bool SimPort::ClosePort() {
    std::lock_guard lock(mutex_);
    if (!open_)
        return false;
    open_ = false;
    received_.clear();
    return true;
}

void SimPort::collectReplies() {
    // Replies go out at the speed their frame came in at, even when a reset then switches
    // the generator back to 9600 baud.
    const auto out = generator_.takeOutput();
    received_.insert(received_.end(), out.begin(), out.end());
}

} // namespace ombrix
