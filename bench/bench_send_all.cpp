// A full "Send all" of six outputs of 1365 samples (the most six outputs hold) by the
// program's own transfer code, through the termios port to ombrix-devsim on a pseudo
// terminal whose line runs at a true byte rate. Reported: the elapsed time over its lower
// bound, the line time of every byte written (10 bits a byte) plus the exchanges' pauses.
// Goal: at most 1.05.
#include "core/device/forwardingport.h"
#include "core/device/protocol.h"
#include "core/device/termiosport.h"
#include "core/device/transfer.h"
#include "sendallinput.h"
#include "testkit/recordingui.h"
#include "testkit/spawnline.h"

#include <benchmark/benchmark.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <string>
#include <sys/wait.h>

namespace {

using namespace ombrix;

// Stops the devsim process it owns.
class DevsimProcess {
  public:
    explicit DevsimProcess(int baud) {
        pid_ = testkit::spawnReadingFirstLine(
            {OMBRIX_DEVSIM, "--baud", std::to_string(baud), "--log", "/dev/null"}, path_);
    }
    ~DevsimProcess() {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    DevsimProcess(const DevsimProcess&) = delete;
    DevsimProcess& operator=(const DevsimProcess&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    pid_t pid_ = -1;
};

// The terminal port, its line reckoned at `baud`. 115200 baud is beyond the device's
// line-speed table (57600 at most): the terminal opens at 57600 and the link reckons the
// rate the simulator runs the line at, as over an adapter whose line is faster.
class RatedPort final : public ForwardingPort {
  public:
    explicit RatedPort(int baud) : baud_(baud) { setTarget(&inner_); }
    int LineBaud() const override { return inner_.IsOpen() ? baud_ : 0; }

  private:
    TermiosPort inner_;
    int baud_;
};

class WrittenBytes final : public LineObserver {
  public:
    void BytesWritten(std::span<const std::uint8_t> bytes) override { count += bytes.size(); }
    void ReplyRead(std::span<const std::uint8_t>, ReplyResult) override {}
    void BytesDiscarded(std::span<const std::uint8_t>) override {}
    std::size_t count = 0;
};

using benchsend::NoButtons;
using benchsend::NoProgress;
using benchsend::sendAllOfSixOutputs;

void BM_SendAllPaced(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    DevsimProcess sim(baud);
    RatedPort port(baud);
    if (sim.path().empty() || !port.OpenPort(sim.path(), 7)) {
        state.SkipWithError("ombrix-devsim did not start");
        return;
    }
    WrittenBytes written;
    port.setLineObserver(&written);
    RecordingUserInterface ui;
    NoButtons buttons;
    NoProgress progress;
    DeviceCommands commands(port, systemClock(), ui, buttons);
    const TransferInput in = sendAllOfSixOutputs();
    std::string error;
    const auto plan = planTransfer(in, error);
    if (!plan) {
        state.SkipWithError(error.c_str());
        return;
    }
    // Stop outputs, sweep off, six blocks, frequency, reference and the closing sweep frame,
    // each followed by a 100 ms pause.
    const double pausesS = 11 * 0.1;
    double ratioSum = 0;
    double boundSum = 0;
    for (auto _ : state) {
        written.count = 0;
        const auto start = std::chrono::steady_clock::now();
        SendThread(commands, progress, in, *plan);
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double bound = static_cast<double>(written.count) * 10.0 / baud + pausesS;
        ratioSum += elapsed / bound;
        boundSum += bound;
    }
    if (!ui.messages().empty())
        state.SkipWithError(("the device reported: " + ui.messageTexts().front()).c_str());
    const auto runs = static_cast<double>(state.iterations());
    state.counters["bound_s"] = boundSum / runs;
    state.counters["elapsed_over_bound"] = ratioSum / runs;
}
BENCHMARK(BM_SendAllPaced)->Arg(57600)->Arg(115200)->Iterations(3)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
