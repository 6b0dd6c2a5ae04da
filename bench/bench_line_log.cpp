// The cost of the line log: a full "Send all" of six outputs of 1365 samples by the program's
// own transfer code to the in-process simulator. Each iteration sends once with the recorder
// logging and once with it switched off, as when the window is closed. Reported: logging over
// off. Goal: at most 1.02.
// - Paced: as the program runs it, the simulator paced at 57600 baud on the system clock.
// - CpuOnly: unpaced on a clock that does not wait, so that only the CPU time of the link is
//   measured; the worst case for the log, which then shows its own cost per frame and word.
#include "core/device/linelog.h"
#include "core/device/simport.h"
#include "core/device/transfer.h"
#include "sendallinput.h"
#include "testkit/fakeclock.h"
#include "testkit/recordingui.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>

namespace {

using namespace ombrix;

using benchsend::NoButtons;
using benchsend::NoProgress;
using benchsend::sendAllOfSixOutputs;

// One full Send all with the line log recording or not, in seconds.
double timedSendAll(LineRecorder& recorder, DeviceCommands& commands, const TransferInput& in,
                    const TransferPlan& plan, bool logging) {
    NoProgress progress;
    recorder.setLogging(logging);
    const auto start = std::chrono::steady_clock::now();
    SendThread(commands, progress, in, plan);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The mean times of both and their ratio, or the device's complaint.
void report(benchmark::State& state, const RecordingUserInterface& ui, double on, double off) {
    if (!ui.messages().empty())
        state.SkipWithError(("the device reported: " + ui.messageTexts().front()).c_str());
    const auto runs = static_cast<double>(state.iterations());
    state.counters["off_ms"] = off / runs * 1e3;
    state.counters["logging_ms"] = on / runs * 1e3;
    state.counters["logging_over_off"] = on / off;
}

void BM_SendAllLoggingOverOff(benchmark::State& state) {
    FakeClock clock;
    SimPort port(clock);
    LineRecorder recorder(clock);
    port.setLineObserver(&recorder);
    RecordingUserInterface ui;
    NoButtons buttons;
    DeviceCommands commands(port, clock, ui, buttons);
    if (!port.OpenPort(kSimulatorPortName, kStartBaudIndex)) {
        state.SkipWithError("the simulator did not open");
        return;
    }
    const TransferInput in = sendAllOfSixOutputs();
    std::string error;
    const auto plan = planTransfer(in, error);
    if (!plan) {
        state.SkipWithError(error.c_str());
        return;
    }
    double on = 0;
    double off = 0;
    std::size_t entries = 0;
    for (auto _ : state) {
        off += timedSendAll(recorder, commands, in, *plan, false);
        on += timedSendAll(recorder, commands, in, *plan, true);
        entries = recorder.entries().size();
        recorder.clear();
    }
    report(state, ui, on, off);
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_SendAllLoggingOverOff)->Name("CpuOnly")->Iterations(30)->Unit(benchmark::kMillisecond);

void BM_PacedSendAllLoggingOverOff(benchmark::State& state) {
    SimPort port(systemClock(), {}, true);
    LineRecorder recorder(systemClock());
    port.setLineObserver(&recorder);
    RecordingUserInterface ui;
    NoButtons buttons;
    DeviceCommands commands(port, systemClock(), ui, buttons);
    DeviceSettings settings;
    settings.PortName = kSimulatorPortName;
    settings.BaudIndex = 7; // 57600 baud
    commands.Connect(settings);
    const TransferInput in = sendAllOfSixOutputs();
    std::string error;
    const auto plan = planTransfer(in, error);
    if (!commands.IsConnected() || !plan) {
        state.SkipWithError("no connection to the simulator, or no plan");
        return;
    }
    double on = 0;
    double off = 0;
    for (auto _ : state) {
        off += timedSendAll(recorder, commands, in, *plan, false);
        on += timedSendAll(recorder, commands, in, *plan, true);
        recorder.clear();
    }
    report(state, ui, on, off);
}
BENCHMARK(BM_PacedSendAllLoggingOverOff)
    ->Name("Paced57600")
    ->Iterations(3)
    ->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
