// What ombrix-send does, as functions the tests call in-process: load and check the forms,
// compute the active outputs as the main window's calculation does, plan the "Send all"
// transfer, and run the whole sequence over a terminal port or, for --dry-run, over the
// simulated generator with every frame printed.
#pragma once

#include "sendoptions.h"

#include "core/device/clock.h"
#include "core/device/forwardingport.h"
#include "core/device/simport.h"
#include "core/device/transfer.h"
#include "core/model/formsconfig.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ombrix::send {

// The forms of a settings file, with "." as the decimal separator of their numbers. Nothing
// (and `error`) when the file cannot be read or the codec refuses it.
std::optional<FormsConfig> loadForms(const std::string& path, std::string& error);

// One period of every active output (Output 1 always), in volts, computed as the main window
// computes it for the form view (rotation applied); inactive outputs stay empty. Nothing
// (and `error` naming the output) when an equation cannot be calculated.
std::optional<std::array<std::vector<double>, kOutputCount>>
computeSamples(const FormsConfig& forms, std::string& error);

// The transfer's input and checked plan for "Send all" of `forms` with `settings`.
struct PreparedSend {
    TransferInput input;
    TransferPlan plan;
};
// Nothing (and `error`) when the number of samples is not 1 .. MaxSamples for the active
// outputs, an equation fails, or planTransfer() refuses the forms or the settings.
std::optional<PreparedSend> prepareSend(const FormsConfig& forms, const DeviceSettings& settings,
                                        std::string& error);

// Cuts a written byte stream into frames: a 12-byte frame and its 2-byte trailer, with the
// data words of a block header (CmdSamples, non-zero CmdSweep) in between.
class FrameSplitter {
  public:
    explicit FrameSplitter(std::function<void(const std::vector<std::uint8_t>&)> onFrame)
        : onFrame_(std::move(onFrame)) {}
    void feed(std::span<const std::uint8_t> bytes);
    // Bytes of a frame not yet complete.
    const std::vector<std::uint8_t>& pending() const { return buffer_; }

  private:
    std::function<void(const std::vector<std::uint8_t>&)> onFrame_;
    std::vector<std::uint8_t> buffer_;
};

// One line of --dry-run output: the command name, then every byte as two hex digits.
std::string frameLine(const std::vector<std::uint8_t>& frame);

// A clock whose sleeps take no real time: the ticks advance by what is slept.
class InstantClock final : public Clock {
  public:
    std::uint64_t Ticks() override { return now_; }
    void Sleep(int ms) override {
        if (ms > 0)
            now_ += static_cast<std::uint64_t>(ms);
    }

  private:
    std::atomic<std::uint64_t> now_{1000};
};

// The --dry-run port: the in-process simulated generator answers every frame, whatever name
// is opened, and every complete frame written is handed to `onFrame`.
class DryRunPort final : public ForwardingPort {
  public:
    DryRunPort(Clock& clock, std::function<void(const std::vector<std::uint8_t>&)> onFrame);

    bool OpenPort(const std::string& name, int baudIndex) override;
    bool WritePort(std::span<const std::uint8_t> bytes) override;

    SimPort& sim() { return sim_; }

  private:
    SimPort sim_;
    FrameSplitter splitter_;
};

// Asks a running transfer to stop as the Stop button does (safe in a signal handler). True
// when a transfer was running; run() then ends with ExitInterrupted after the end frames.
bool interruptTransfer();

// Runs the whole command: `out` gets the --dry-run frames and the closing summary, `err` the
// progress, messages and errors (`errIsTerminal` draws the progress as a bar). Returns the
// exit code.
int run(const Options& options, std::ostream& out, std::ostream& err, bool errIsTerminal);

} // namespace ombrix::send
