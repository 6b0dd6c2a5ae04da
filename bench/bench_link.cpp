// Costs of the device link's own work, beside the line time it hides behind: the CRC of a
// full sample block, encoding a period of samples, and the simulated generator decoding a
// block (at 57600 baud a 8192-word block takes about 2.8 s on the line).
#include "core/device/crc16.h"
#include "core/device/encodings.h"
#include "core/device/frame.h"
#include "core/device/simgenerator.h"
#include "core/model/devicesettings.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

using namespace ombrix;

std::vector<std::uint16_t> sineCodes(std::size_t n) {
    std::vector<std::uint16_t> codes(n);
    const double step = sampleStep(kDefaultVRefMv);
    for (std::size_t j = 0; j < n; ++j)
        codes[j] = sampleCode(3.0 * std::sin(6.283185307179586 * j / n), step);
    return codes;
}

void BM_Crc16WordsBlock(benchmark::State& state) {
    const auto words = sineCodes(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(Crc16Words(words, 0xC5BA, true));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Crc16WordsBlock)->Arg(1024)->Arg(8192);

void BM_SampleCodes(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<double> volts(n);
    for (std::size_t j = 0; j < n; ++j)
        volts[j] = 5.0 * std::sin(6.283185307179586 * j / n);
    const double step = sampleStep(kDefaultVRefMv);
    std::vector<std::uint16_t> codes(n);
    for (auto _ : state) {
        for (std::size_t j = 0; j < n; ++j)
            codes[j] = sampleCode(volts[j], step);
        benchmark::DoNotOptimize(codes.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SampleCodes)->Arg(8192);

void BM_SimGeneratorDecodesBlock(benchmark::State& state) {
    const auto n = static_cast<std::uint16_t>(state.range(0));
    const auto words = sineCodes(n);
    const CommandFrame header = samplesHeader(0, 0, n, 1);
    std::vector<std::uint8_t> bytes(header.bytes.begin(), header.bytes.end());
    for (std::uint16_t w : words) {
        const auto b = wordBytes(w);
        bytes.insert(bytes.end(), b.begin(), b.end());
    }
    const auto trailer = wordBytes(Crc16Words(words, header.crc(), true));
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    SimGenerator generator;
    for (auto _ : state) {
        generator.receive(bytes);
        benchmark::DoNotOptimize(generator.takeOutput());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(bytes.size()));
}
BENCHMARK(BM_SimGeneratorDecodesBlock)->Arg(8192);

void BM_SweepTable(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(
            sweepTable(1, 21845, 1, 8, kDefaultQuartzMHz, kDefaultInstructions));
}
BENCHMARK(BM_SweepTable);

} // namespace

BENCHMARK_MAIN();
