// Time for the device link: a millisecond tick counter for reply time-outs and a blocking
// sleep for the fixed pauses. Behind an interface so that tests run on FakeClock and take
// no real time.
#pragma once

#include <cstdint>

namespace ombrix {

class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; never goes backwards.
    virtual std::uint64_t Ticks() = 0;
    // Blocks for `ms` milliseconds (nothing for ms <= 0).
    virtual void Sleep(int ms) = 0;
};

// The monotonic system clock (std::chrono::steady_clock).
class SteadyClock final : public Clock {
  public:
    std::uint64_t Ticks() override;
    void Sleep(int ms) override;
};

// One shared steady clock for the program.
Clock& systemClock();

} // namespace ombrix
