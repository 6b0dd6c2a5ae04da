#include "core/device/clock.h"

#include <chrono>
#include <thread>

namespace ombrix {

std::uint64_t SteadyClock::Ticks() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SteadyClock::Sleep(int ms) {
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

Clock& systemClock() {
    static SteadyClock clock;
    return clock;
}

} // namespace ombrix
