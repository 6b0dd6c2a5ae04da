// Formula evaluation speed: TCalcExpress (extended precision) against muparser (double) on the
// calculation thread's workload, one period of 8192 samples with X = 2*pi*n/8192.
// Prints the time per evaluation of both engines and their ratio for each formula.
#include "core/compute/calcexpress.h"
#include "programconditions.h"

#include <benchmark/benchmark.h>
#include <muParser.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int Samples = 8192;

struct Formula {
    const char* label;
    const char* ombrix;
    const char* muparser;
};

const Formula Formulas[] = {
    {"trig", "sin(x)*2+cos(3*x)/4", "sin(x)*2+cos(3*x)/4"},
    {"poly", "x^3-2*x^2+x-1", "x^3-2*x^2+x-1"},
    {"mixed", "sqrt(abs(sin(x)))+ln(2+cos(x))", "sqrt(abs(sin(x)))+ln(2+cos(x))"},
    {"step", "heaviside(sin(x))*2-1", "heaviside(sin(x))*2-1"},
};

const std::vector<long double>& arguments() {
    static const std::vector<long double> xs = [] {
        std::vector<long double> v(Samples);
        const long double pi = 3.141592653589793238462643383279502884L;
        for (int n = 0; n < Samples; ++n)
            v[static_cast<std::size_t>(n)] = 2 * pi * n / Samples;
        return v;
    }();
    return xs;
}

void setPerEvaluation(benchmark::State& state) {
    state.counters["ns_per_eval"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * Samples,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

double heaviside(double x) {
    return x < 0 ? 0.0 : 1.0;
}

// Both engines must agree (to double precision) before their speed means anything. A step
// may flip where its argument crosses zero within rounding (sin of pi in double is 1.2e-16,
// in extended precision -5e-20), so two such samples are allowed.
bool enginesAgree(const Formula* f) {
    int differing = 0;
    ombrix::TCalcExpress calc;
    calc.SetVariables({"X"});
    calc.init(f->ombrix);
    mu::Parser parser;
    double x = 0;
    parser.DefineVar("x", &x);
    parser.DefineFun("heaviside", heaviside);
    parser.SetExpr(f->muparser);
    for (long double v : arguments()) {
        x = static_cast<double>(v);
        double a = parser.Eval();
        auto b = static_cast<double>(calc.calc(&v, 0));
        if (std::fabs(a - b) > 1e-12 * std::max(1.0, std::fabs(a)))
            ++differing;
    }
    return differing <= 2;
}

void BM_Ombrix(benchmark::State& state, const Formula* f) {
    if (!enginesAgree(f)) {
        state.SkipWithError("the engines disagree");
        return;
    }
    ombrix::TCalcExpress calc;
    calc.SetVariables({"X"});
    calc.init(f->ombrix);
    const auto& xs = arguments();
    for (auto _ : state) {
        long double sum = 0;
        for (long double x : xs)
            sum += calc.calc(&x, 0);
        benchmark::DoNotOptimize(sum);
    }
    setPerEvaluation(state);
}

void BM_Muparser(benchmark::State& state, const Formula* f) {
    mu::Parser parser;
    double x = 0;
    parser.DefineVar("x", &x);
    parser.DefineFun("heaviside", heaviside);
    parser.SetExpr(f->muparser);
    std::vector<double> xs(arguments().begin(), arguments().end());
    for (auto _ : state) {
        double sum = 0;
        for (double v : xs) {
            x = v;
            sum += parser.Eval();
        }
        benchmark::DoNotOptimize(sum);
    }
    setPerEvaluation(state);
}

// Console output as usual, then one line per formula with both figures and their ratio.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    // With --benchmark_repetitions the medians are used, otherwise the single run.
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median)
                continue;
            auto it = run.counters.find("ns_per_eval");
            const std::string& name = run.run_name.function_name;
            if (it == run.counters.end() || (!median && medians_.count(name) != 0))
                continue;
            nsPerEval_[name] = it->second.value * 1e9;
            if (median)
                medians_.insert(name);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-8s %-34s %12s %12s %8s\n", "formula", "text", "Ombrix ns", "muparser ns",
                    "ratio");
        for (const Formula& f : Formulas) {
            auto o = nsPerEval_.find(std::string("Ombrix/") + f.label);
            auto m = nsPerEval_.find(std::string("muparser/") + f.label);
            if (o == nsPerEval_.end() || m == nsPerEval_.end())
                continue;
            std::printf("%-8s %-34s %12.1f %12.1f %8.2f\n", f.label, f.ombrix, o->second, m->second,
                        o->second / m->second);
        }
    }

  private:
    std::map<std::string, double> nsPerEval_;
    std::set<std::string> medians_;
};

} // namespace

int main(int argc, char** argv) {
    for (const Formula& f : Formulas) {
        benchmark::RegisterBenchmark((std::string("Ombrix/") + f.label).c_str(), BM_Ombrix, &f);
        benchmark::RegisterBenchmark((std::string("muparser/") + f.label).c_str(), BM_Muparser, &f);
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // The same evaluations in the program's conditions, after the bare ones.
    benchmark::ClearRegisteredBenchmarks();
    const auto app = benchprog::enterProgramConditions(argc, argv);
    for (const Formula& f : Formulas)
        benchprog::registerInProgram(std::string("Ombrix/") + f.label,
                                     [&f](benchmark::State& state) { BM_Ombrix(state, &f); });
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
