#include "app/calculation.h"

#include "app/formsdocument.h"
#include "app/mainpages.h"
#include "app/userprompts.h"
#include "core/compute/calcexpress.h"
#include "core/compute/calculateforms.h"
#include "core/compute/spectrum.h"
#include "core/compute/vectorstate.h"
#include "gui/charts/chartmenu.h"
#include "gui/charts/chartview.h"
#include "gui/common/guicalcsink.h"

#include <QLabel>

#include <algorithm>

namespace ombrix {

namespace {

// How long a run may last before the "General" chart is drawn blank (about three frames).
constexpr int kBlankChartAfterMs = 50;

} // namespace

Calculation::Calculation(FormsDocument& document, MainPages& pages, ChartMenu& chartMenu,
                         UserPrompts& prompts, char sep)
    : document_(document), pages_(pages), chartMenu_(chartMenu), sep_(sep),
      calc_(std::make_unique<TCalcExpress>(sep)), engine_(std::make_unique<TSpectrum>()) {
    engine_->Size = 2048;
    sink_ = std::make_unique<GuiCalcSink>(GuiCalcSink::Handlers{
        [this](const std::string& t) {
            pages_.statusPanels[3]->setText(QString::fromStdString(t));
        },
        [this](int k) {
            // The store follows the chart: a failed output holds nothing.
            pages_.outputs[k].chart->clearSeries(0);
            samples_[k].clear();
        },
        [this](int k, const std::vector<double>& xs, const std::vector<double>& ys) {
            pages_.outputs[k].chart->appendPoints(0, xs, ys);
        },
        [this](int k, std::vector<double> v) { samples_[k] = std::move(v); },
        [&prompts](const std::string& text, const std::string& caption) {
            prompts.showMessage(QString::fromStdString(text), QString::fromStdString(caption));
        },
        [this](const std::array<bool, kOutputCount>& active) { endOfRun(active); },
        [this](int k) {
            // Cleared on screen at once, before the failure's message is read.
            samples_[k].clear();
            pages_.outputs[k].chart->clearSeries(0);
            ActivateChartSeries(k, false);
            pages_.outputs[k].chart->repaintNow();
            pages_.general.ChartAll->repaintNow();
        }});
}

Calculation::~Calculation() {
    stop(); // before the engine, evaluator and sink go
}

void Calculation::stop() {
    calcThread_.reset();
}

void Calculation::CalculateForms(int first, int last) {
    emit calculationRequested(first, last);
    std::array<bool, kOutputCount> wanted{};
    for (int k = std::max(first, 0); k <= std::min(last, kOutputCount - 1); ++k)
        wanted[k] = true;
    if (calcThread_) {
        calcThread_->requestStop();
        calcThread_->waitFor();
        // An output the previous run was asked for and did not finish (it was stopped by
        // this request) is cleared or partly drawn: this run takes it over. An output whose
        // equation failed stays failed, and is not tried again, until its own inputs change.
        const RunOutcome& outcome = calcThread_->outcome();
        for (int k = 0; k < kOutputCount; ++k) {
            if (!calcThread_->covers(k))
                continue;
            failed_[k] = outcome[k] == OutputResult::Failed;
            if (outcome[k] == OutputResult::NotReached)
                wanted[k] = true;
        }
        calcThread_.reset();
    }
    int from = kOutputCount, to = -1;
    for (int k = 0; k < kOutputCount; ++k) {
        if (k >= first && k <= last)
            failed_[k] = false; // asked for again: its inputs changed
        if (wanted[k]) {
            from = std::min(from, k);
            to = std::max(to, k);
        }
    }
    sink_->startRun();
    CalcSnapshot snapshot{document_.forms(),       sep_, chartMenu_.view(),    chartMenu_.fftSize(),
                          chartMenu_.windowCode(), {},   chartMenu_.decibels()};
    for (int k = from; k <= to; ++k)
        snapshot.leave[k] = !wanted[k] && failed_[k];
    calcThread_ = std::make_unique<TCalculateFormsThread>(
        std::max(from, 0), std::max(to, 0), std::move(snapshot), *calc_, *engine_, *sink_);
    // The worker is started first: what it hands over runs here only after this returns.
    // The "General" chart shows nothing while the run lasts; a run shorter than the pause
    // ends with its own redraw, so the blank chart is never drawn in between.
    for (int i = 0; i < kOutputCount; ++i)
        ActivateChartSeries(i, false, false);
    pages_.general.ChartAll->repaintAfter(kBlankChartAfterMs);
    pages_.statusPanels[3]->setText("Samples are calculating");
    // Every change that recalculates has been committed to the forms by now.
    document_.formsCommitted();
}

void Calculation::finishCalculation() {
    if (calcThread_)
        calcThread_->waitFor();
    sink_->deliver();
}

void Calculation::ActivateChartSeries(int index, bool active, bool redraw) {
    pages_.general.ChartAll->setSeriesActive(index, active, redraw);
}

void Calculation::endOfRun(const std::array<bool, kOutputCount>& active) {
    // A failed output holds nothing, whichever run it failed in: it is not drawn.
    for (int k = 0; k < kOutputCount; ++k)
        ActivateChartSeries(k, active[k] && !failed_[k], false);
    // Fit and set the limit lines first, then draw once: the same final picture with one
    // redraw per chart instead of two or three.
    emit resultsIn();
    for (ChartView* chart : pages_.charts()) {
        chart->undoZoom(false);
        chart->repaintNow();
    }
    clearUpperVectorState(); // painting may leave it dirty (see vectorstate.h)
    emit runEnded();
}

} // namespace ombrix
