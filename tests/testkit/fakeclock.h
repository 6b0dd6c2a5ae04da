// A clock for tests: time stands still until a test advances it or code sleeps on it, so
// every pause and time-out is exact and takes no real time. Safe to share between threads.
#pragma once

#include "core/device/clock.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace ombrix {

class FakeClock final : public Clock {
  public:
    explicit FakeClock(std::uint64_t start = 1000) : now_(start) {}

    std::uint64_t Ticks() override { return now_.load(); }

    // Advances the time by `ms` and records the pause.
    void Sleep(int ms) override {
        {
            std::lock_guard lock(mutex_);
            sleeps_.push_back(ms);
        }
        if (ms > 0)
            now_ += static_cast<std::uint64_t>(ms);
    }

    void advance(std::uint64_t ms) { now_ += ms; }
    // Moves the time forward to `tick` (never backwards).
    void advanceTo(std::uint64_t tick) {
        std::uint64_t cur = now_.load();
        while (cur < tick && !now_.compare_exchange_weak(cur, tick)) {
        }
    }

    // Every Sleep() argument so far, in order.
    std::vector<int> sleeps() const {
        std::lock_guard lock(mutex_);
        return sleeps_;
    }
    void clearSleeps() {
        std::lock_guard lock(mutex_);
        sleeps_.clear();
    }

  private:
    std::atomic<std::uint64_t> now_;
    mutable std::mutex mutex_;
    std::vector<int> sleeps_;
};

} // namespace ombrix
