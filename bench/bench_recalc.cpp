// Recalculation latency of the main window, offscreen: from CalculateForms(0, 5) until the
// visible chart is repainted, against the least a user can wait for: the same synthesis in a
// process where no Qt code has run yet, plus one replot of the visible chart.
//
//   a) six active outputs, 20 enabled harmonics each, N = 1365, form view
//   b) output 1 alone, 20 harmonics, N = 8192, "FFT magnitude" at size 32768
//   c) six equation outputs, N = 1365, SIN(X)*COS(3*X)+0.2*SIN(7*X)*SIN(7*X)
//
// The bound's synthesis runs first, before the QApplication exists; then the window's cases.
// The last lines give each case's latency, bound and ratio (medians with
// --benchmark_repetitions), and the latency against one 60 Hz frame.
#include "app/ombrix.h"
#include "core/compute/calcexpress.h"
#include "core/compute/calculationrun.h"
#include "core/compute/spectrum.h"
#include "core/model/settingsfile.h"
#include "gui/charts/chartmenu.h"
#include "gui/charts/chartview.h"
#include "programconditions.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QWindow>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>

namespace {

using namespace ombrix;

struct Case {
    const char* name;
    ViewKind view;
    int fftSize;
};
const Case Cases[] = {{"a_six_sines_N1365", ViewKind::Form, 2048},
                      {"b_spectrum_N8192_size32768", ViewKind::Magnitude, 32768},
                      {"c_six_equations_N1365", ViewKind::Form, 2048}};

FormsConfig formsOf(const Case& c) {
    FormsConfig f;
    const bool spectrum = c.view != ViewKind::Form;
    f.General.NumOfSam = spectrum ? "8192" : "1365";
    for (int k = 1; k < kOutputCount; ++k)
        f.General.Active[k] = !spectrum;
    const int outputs = spectrum ? 1 : kOutputCount;
    for (int k = 0; k < outputs; ++k) {
        OutputForm& o = f.Outputs[k];
        if (c.name[0] == 'c') {
            o.Form = FormKind::Equation;
            o.Equation = "SIN(X)*COS(3*X)+0.2*SIN(7*X)*SIN(7*X)";
            continue;
        }
        for (int r = 0; r < kHarmonicCount; ++r)
            o.Harmonics[r] = {std::to_string(1.0 / (r + 1)), "0", true};
    }
    return f;
}

struct NullSink : CalcSink {
    void status(const std::string&) override {}
    void clearSeries(int) override {}
    void appendPoints(int, std::vector<double>, std::vector<double>) override {}
    void samples(int, std::vector<double>) override {}
    void failure(const std::string&, const std::string&) override {}
    void completed(const std::array<bool, kOutputCount>&) override {}
};

// The synthesis (and transform) of every output in a plain loop, no thread, no hand-over.
void synthesis(benchmark::State& state, const Case* c) {
    TCalcExpress calc('.');
    TSpectrum engine;
    NullSink sink;
    const CalcSnapshot snap{formsOf(*c), '.', c->view, c->fftSize, 0, {}, false};
    for (auto _ : state) {
        std::atomic<bool> stop{false};
        runCalculation(0, kOutputCount - 1, snap, calc, engine, sink, stop);
    }
}

// The window holding a case's forms, opened as a file, at the size a user works in.
std::unique_ptr<TOmbrix> makeWindow(const Case& c) {
    auto w = std::make_unique<TOmbrix>();
    w->setMessageHandler([](const QString& text, const QString&) {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
    });
    w->resize(1000, 700);
    w->show();
    // Until the window is exposed a repaint paints nothing; the user's replot ends on screen.
    QElapsedTimer waited;
    waited.start();
    while (!(w->windowHandle() && w->windowHandle()->isExposed()) && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QTemporaryDir dir;
    QFile file(dir.filePath("case.set"));
    const std::vector<unsigned char> bytes = encodeForms(formsOf(c));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        file.close();
    }
    w->document().openFile(file.fileName());
    if (c.view != ViewKind::Form) {
        w->chartMenu()->sizes[8]->trigger(); // 32768
        w->chartMenu()->FFTamplitude1->trigger();
    }
    w->pages()->setCurrentIndex(c.view != ViewKind::Form ? 1 : 0);
    w->calculation().finishCalculation();
    QCoreApplication::processEvents(); // the paints that opening the file asked for
    return w;
}

// As the user meets it: the event loop runs while the worker computes, so each output's
// points are taken over as they arrive, and the run ends with the repaint of the shown chart.
void latency(benchmark::State& state, const Case* c) {
    auto w = makeWindow(*c);
    QEventLoop loop;
    QObject::connect(&w->calculation(), &Calculation::runEnded, &loop, &QEventLoop::quit);
    for (auto _ : state) {
        w->calculation().CalculateForms(0, kOutputCount - 1);
        loop.exec();
    }
}

// One replot of the chart the user sees, with the case's data already there.
void replot(benchmark::State& state, const Case* c) {
    auto w = makeWindow(*c);
    ChartView* shown = c->view != ViewKind::Form ? w->output(0).chart : w->general().ChartAll;
    for (auto _ : state)
        shown->repaintNow();
}

// Console output, then per case: latency, synthesis + replot, their ratio and 60 Hz frames.
class LatencyReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || (run.run_type != Run::RT_Iteration && !median))
                continue;
            const std::string name = run.run_name.str();
            if (!median && medians_.count(name))
                continue;
            ms_[run.run_name.function_name] =
                run.GetAdjustedRealTime() * 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (median)
                medians_[name] = true;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void table() const {
        std::printf("\n%-28s %10s %10s %10s %10s %8s %8s\n", "case", "latency", "synthesis",
                    "replot", "bound", "ratio", "frames");
        for (const Case& c : Cases) {
            auto get = [&](const char* what) {
                auto it = ms_.find(std::string(what) + "/" + c.name);
                return it == ms_.end() ? -1.0 : it->second;
            };
            const double l = get("latency"), s = get("synthesis"), r = get("replot");
            if (l < 0 || s < 0 || r < 0)
                continue;
            std::printf("%-28s %8.2fms %8.2fms %8.2fms %8.2fms %8.2f %8.2f\n", c.name, l, s, r,
                        s + r, l / (s + r), l / (1000.0 / 60));
        }
    }

  private:
    std::map<std::string, double> ms_;
    std::map<std::string, bool> medians_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    LatencyReporter reporter;
    for (const Case& c : Cases)
        benchmark::RegisterBenchmark("synthesis", synthesis, &c)
            ->Name(std::string("synthesis/") + c.name)
            ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::ClearRegisteredBenchmarks();

    const auto app = benchprog::enterProgramConditions(argc, argv);
    for (const Case& c : Cases) {
        benchprog::registerInProgram(std::string("synthesis/") + c.name,
                                     [&c](benchmark::State& state) { synthesis(state, &c); });
        benchmark::RegisterBenchmark("latency", latency, &c)
            ->Name(std::string("latency/") + c.name)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("replot", replot, &c)
            ->Name(std::string("replot/") + c.name)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.table();
    benchmark::Shutdown();
    return 0;
}
