// Recalculation latency of the main window, offscreen: from CalculateForms(0, 5) until the
// charts are repainted, against a lower bound made of the same synthesis in a plain loop
// plus one replot of data already computed.
//
//   a) six active outputs, 20 enabled harmonics each, N = 1365, form view
//   b) output 1 alone, 20 harmonics, N = 8192, "FFT magnitude" at size 32768
#include "app/ombrix.h"
#include "core/compute/calcexpress.h"
#include "core/compute/calculationrun.h"
#include "core/compute/spectrum.h"
#include "gui/charts/chartmenu.h"
#include "gui/charts/chartview.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace ombrix;

std::unique_ptr<TOmbrix> makeWindow(bool spectrum) {
    auto w = std::make_unique<TOmbrix>();
    w->resize(1000, 700);
    w->show();
    GeneralPage& g = w->general();
    if (!spectrum)
        for (int k = 1; k < kOutputCount; ++k)
            g.activeBox[k]->click();
    g.NumOfSam->setText(spectrum ? "8192" : "1365");
    const int outputs = spectrum ? 1 : kOutputCount;
    for (int k = 0; k < outputs; ++k)
        for (int r = 0; r < kHarmonicCount; ++r) {
            w->output(k).amplitude[r]->setText(QString::number(1.0 / (r + 1)));
            w->output(k).en[r]->setChecked(true);
        }
    if (spectrum) {
        w->chartMenu()->sizes[8]->trigger(); // 32768
        w->chartMenu()->FFTamplitude1->trigger();
    }
    w->finishCalculation();
    return w;
}

void recalcLatency(benchmark::State& state, bool spectrum) {
    auto w = makeWindow(spectrum);
    for (auto _ : state) {
        w->CalculateForms(0, kOutputCount - 1);
        w->finishCalculation(); // ends with the repaint and fit of the end-of-run steps
    }
}

// The same work without the thread and the hand-over: synthesis of every output in a plain
// loop, then one replot of the seven charts with that data.
void lowerBound(benchmark::State& state, bool spectrum) {
    auto w = makeWindow(spectrum);
    TCalcExpress calc(w->decimalSeparator());
    TSpectrum engine;
    struct NullSink : CalcSink {
        void status(const std::string&) override {}
        void clearSeries(int) override {}
        void appendPoints(int, std::vector<double>, std::vector<double>) override {}
        void samples(int, std::vector<double>) override {}
        void failure(const std::string&, const std::string&) override {}
        void completed(const std::array<bool, kOutputCount>&) override {}
    } sink;
    CalcSnapshot snap{w->forms(), w->decimalSeparator(), w->chartMenu()->view(),
                      w->chartMenu()->fftSize(), w->chartMenu()->windowCode()};
    for (auto _ : state) {
        std::atomic<bool> stop{false};
        runCalculation(0, kOutputCount - 1, snap, calc, engine, sink, stop);
        for (ChartView* c : w->charts())
            c->repaintNow();
    }
}

BENCHMARK_CAPTURE(recalcLatency, a_six_outputs_N1365, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(lowerBound, a_six_outputs_N1365, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(recalcLatency, b_spectrum_N8192_size32768, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(lowerBound, b_spectrum_N8192_size32768, true)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
