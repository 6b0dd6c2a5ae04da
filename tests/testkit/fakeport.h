// A scripted SerialPort for tests, on a FakeClock: records what is written, delivers bytes
// at chosen ticks, and lets waits advance the fake time to the next arrival or the end of
// the time-out, so reply time-outs are exact and take no real time.
#pragma once

#include "core/device/serialport.h"
#include "testkit/fakeclock.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace ombrix {

class FakePort final : public SerialPort {
  public:
    explicit FakePort(FakeClock& clock) : clock_(clock) {}

    // ---- scripting ----
    // Makes every following open fail (true) or succeed (false).
    void setOpenFails(bool fails) {
        std::lock_guard lock(mutex_);
        openFails_ = fails;
    }
    // Bytes that arrive at `tick` (ticks of the fake clock); at once when tick is 0.
    void deliverAt(std::uint64_t tick, const std::vector<std::uint8_t>& bytes) {
        std::lock_guard lock(mutex_);
        if (tick == 0)
            tick = clock_.Ticks();
        for (std::uint8_t b : bytes)
            incoming_.push_back({tick, b});
        std::stable_sort(incoming_.begin(), incoming_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    void deliver(const std::vector<std::uint8_t>& bytes) { deliverAt(0, bytes); }
    // The line speed written bytes take once the writes have returned (0: none, the default).
    void setLineBaud(int baud) {
        std::lock_guard lock(mutex_);
        lineBaud_ = baud;
    }
    void deliverAfter(std::uint64_t delayMs, const std::vector<std::uint8_t>& bytes) {
        deliverAt(clock_.Ticks() + delayMs, bytes);
    }
    // Called after every write with the bytes written (e.g. to answer like a device).
    void setResponder(std::function<void(FakePort&, std::span<const std::uint8_t>)> responder) {
        std::lock_guard lock(mutex_);
        responder_ = std::move(responder);
    }

    // Called whenever the link waits for bytes, before the wait (e.g. to end a block cut
    // short, as a device does when the line goes quiet).
    void setWaitHook(std::function<void(FakePort&)> hook) {
        std::lock_guard lock(mutex_);
        waitHook_ = std::move(hook);
    }

    // ---- inspection ----
    std::vector<std::vector<std::uint8_t>> writes() const {
        std::lock_guard lock(mutex_);
        return writes_;
    }
    // Every written byte in order.
    std::vector<std::uint8_t> written() const {
        std::lock_guard lock(mutex_);
        std::vector<std::uint8_t> all;
        for (const auto& w : writes_)
            all.insert(all.end(), w.begin(), w.end());
        return all;
    }
    void clearWrites() {
        std::lock_guard lock(mutex_);
        writes_.clear();
    }
    // Bytes delivered and not yet read (arrived or still to arrive).
    std::size_t pendingCount() const {
        std::lock_guard lock(mutex_);
        return incoming_.size();
    }
    // (name, baud index) of every open attempt.
    std::vector<std::pair<std::string, int>> opens() const {
        std::lock_guard lock(mutex_);
        return opens_;
    }
    int flushCount() const {
        std::lock_guard lock(mutex_);
        return flushes_;
    }
    int purgeCount() const {
        std::lock_guard lock(mutex_);
        return purges_;
    }
    int eventSetups() const {
        std::lock_guard lock(mutex_);
        return eventSetups_;
    }

    // ---- SerialPort ----
    bool OpenPort(const std::string& name, int baudIndex) override {
        std::lock_guard lock(mutex_);
        rememberName(name);
        opens_.push_back({name, baudIndex});
        if (open_ || openFails_)
            return false;
        open_ = true;
        return true;
    }
    bool IsOpen() const override {
        std::lock_guard lock(mutex_);
        return open_;
    }
    void SetPortEvents() override {
        std::lock_guard lock(mutex_);
        ++eventSetups_;
    }
    bool WritePort(std::span<const std::uint8_t> bytes) override {
        std::function<void(FakePort&, std::span<const std::uint8_t>)> responder;
        {
            std::lock_guard lock(mutex_);
            if (!open_)
                return false;
            writes_.emplace_back(bytes.begin(), bytes.end());
            responder = responder_;
        }
        if (responder)
            responder(*this, bytes);
        return true;
    }
    std::size_t ReadInto(std::uint8_t* into, std::size_t maxCount) override {
        std::lock_guard lock(mutex_);
        if (!open_)
            return 0;
        const std::uint64_t now = clock_.Ticks();
        std::size_t n = 0;
        const std::size_t limit = std::min(maxCount, kReceiveBufferSize);
        while (n < limit && n < incoming_.size() && incoming_[n].first <= now) {
            into[n] = incoming_[n].second;
            ++n;
        }
        incoming_.erase(incoming_.begin(), incoming_.begin() + static_cast<std::ptrdiff_t>(n));
        return n;
    }
    bool WaitReadable(int timeoutMs) override {
        std::function<void(FakePort&)> hook;
        {
            std::lock_guard lock(mutex_);
            hook = waitHook_;
        }
        if (hook)
            hook(*this);
        std::lock_guard lock(mutex_);
        const std::uint64_t now = clock_.Ticks();
        const std::uint64_t end = now + static_cast<std::uint64_t>(std::max(timeoutMs, 0));
        if (open_ && !incoming_.empty() && incoming_.front().first <= end) {
            clock_.advanceTo(incoming_.front().first);
            return true;
        }
        clock_.advanceTo(end);
        return false;
    }
    void FlushPort() override {
        std::lock_guard lock(mutex_);
        ++flushes_;
    }
    void PurgeTransmit() override {
        std::lock_guard lock(mutex_);
        ++purges_;
    }
    int LineBaud() const override {
        std::lock_guard lock(mutex_);
        return open_ ? lineBaud_ : 0;
    }
    bool ClosePort() override {
        std::lock_guard lock(mutex_);
        if (!open_)
            return false;
        open_ = false;
        return true;
    }

  private:
    mutable std::mutex mutex_;
    FakeClock& clock_;
    bool open_ = false;
    bool openFails_ = false;
    int lineBaud_ = 0;
    std::vector<std::pair<std::uint64_t, std::uint8_t>> incoming_;
    std::vector<std::vector<std::uint8_t>> writes_;
    std::vector<std::pair<std::string, int>> opens_;
    std::function<void(FakePort&, std::span<const std::uint8_t>)> responder_;
    std::function<void(FakePort&)> waitHook_;
    int flushes_ = 0;
    int purges_ = 0;
    int eventSetups_ = 0;
};

} // namespace ombrix
