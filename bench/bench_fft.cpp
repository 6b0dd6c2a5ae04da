// The FFT engine against FFTW doing the same job: mean removal, Hanning weighting, a complex
// forward transform of N = M values, then magnitude (2|X|/M) and phase of every line.
#include "core/compute/spectrum.h"
#include "programconditions.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

std::vector<double> samples(int m) {
    std::mt19937 gen(42);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> v(static_cast<std::size_t>(m));
    for (int i = 0; i < m; ++i)
        v[static_cast<std::size_t>(i)] =
            0.3 + std::sin(2 * std::numbers::pi * 17 * i / m) + 0.01 * dist(gen);
    return v;
}

void OmbrixCalculate(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    ombrix::TSpectrum s;
    s.Size = n;
    s.Window = ombrix::WindowHanning;
    for (double v : samples(n))
        s.Input.Add(v, 0.0);
    for (auto _ : state) {
        s.Calculate();
        benchmark::DoNotOptimize(s.Magnitude[n / 2]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// FFTW doing the same job as Calculate; with `lines` false it stops after the transform.
void fftwJob(benchmark::State& state, bool lines) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<double> x = samples(n);
    std::vector<double> weight(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        weight[static_cast<std::size_t>(i)] = ombrix::TSpectrum::WindowWeight(3, i, n);
    auto* in = fftw_alloc_complex(static_cast<std::size_t>(n));
    auto* out = fftw_alloc_complex(static_cast<std::size_t>(n));
    fftw_plan plan = fftw_plan_dft_1d(n, in, out, FFTW_FORWARD, FFTW_ESTIMATE);
    std::vector<double> magnitude(static_cast<std::size_t>(n)), phase(static_cast<std::size_t>(n));
    for (auto _ : state) {
        double sum = 0;
        for (double v : x)
            sum += v;
        const double mean = sum / n;
        for (int i = 0; i < n; ++i) {
            in[i][0] =
                (x[static_cast<std::size_t>(i)] - mean) * weight[static_cast<std::size_t>(i)];
            in[i][1] = 0.0;
        }
        fftw_execute(plan);
        for (int i = 0; lines && i < n; ++i) {
            const double re = out[i][0], im = out[i][1];
            magnitude[static_cast<std::size_t>(i)] = 2.0 * std::sqrt(re * re + im * im) / n;
            phase[static_cast<std::size_t>(i)] =
                (re == 0.0 && im == 0.0) ? 0.0 : std::atan2(im, re);
        }
        benchmark::DoNotOptimize(out);
        benchmark::DoNotOptimize(magnitude.data());
        benchmark::DoNotOptimize(phase.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
}

void FftwCalculate(benchmark::State& state) {
    fftwJob(state, true);
}
void FftwTransformOnly(benchmark::State& state) {
    fftwJob(state, false);
}

} // namespace

// Bare first (no Qt code has run), then the engine in the program's conditions.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (auto* b : {benchmark::RegisterBenchmark("OmbrixCalculate", OmbrixCalculate),
                    benchmark::RegisterBenchmark("FftwCalculate", FftwCalculate),
                    benchmark::RegisterBenchmark("FftwTransformOnly", FftwTransformOnly)})
        b->Arg(2048)->Arg(8192)->Arg(32768)->Unit(benchmark::kMicrosecond);
    // One reporter for both runs: a second run with the library's default one crashed while
    // printing (libbenchmark 1.7).
    benchmark::ConsoleReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::ClearRegisteredBenchmarks();
    const auto app = benchprog::enterProgramConditions(argc, argv);
    for (const bool clear : {true, false})
        benchmark::RegisterBenchmark(clear ? "OmbrixCalculate/in_program"
                                           : "OmbrixCalculate/in_program_not_cleared",
                                     [clear](benchmark::State& state) {
                                         benchprog::onWorker(state, clear, OmbrixCalculate);
                                     })
            ->Arg(2048)
            ->Arg(8192)
            ->Arg(32768)
            ->UseRealTime()
            ->Unit(benchmark::kMicrosecond);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
