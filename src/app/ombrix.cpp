// The main window's life: creation and shut-down, calculation requests and the end of a run,
// and how the pages follow the window's size.
#include "app/ombrix.h"

#include "core/compute/calcexpress.h"
#include "core/compute/calculateforms.h"
#include "core/compute/spectrum.h"
#include "core/compute/vectorstate.h"
#include "gui/charts/chartmenu.h"
#include "gui/charts/chartview.h"
#include "gui/common/appicon.h"
#include "gui/common/decimalseparator.h"
#include "gui/common/filedrop.h"
#include "gui/common/guicalcsink.h"
#include "gui/device/devicecontroller.h"
#include "gui/monitor/devicemonitor.h"
#include "gui/monitor/linelogwindow.h"

#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QToolButton>

#include <algorithm>

namespace ombrix {

namespace {

constexpr int kDesignWidth = 740;
constexpr int kDesignHeight = 581;
// How long a run may last before the "General" chart is drawn blank (about three frames).
constexpr int kBlankChartAfterMs = 50;

} // namespace

TOmbrix::TOmbrix(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle("Ombrix");
    setWindowIcon(appIcon());
    // The layout was drawn for a small dialog font (about 11 pixels).
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    sep_ = systemDecimalSeparator();
    calc_ = std::make_unique<TCalcExpress>(sep_);
    engine_ = std::make_unique<TSpectrum>();
    engine_->Size = 2048;
    sink_ = std::make_unique<GuiCalcSink>(GuiCalcSink::Handlers{
        [this](const std::string& t) { statusPanels_[3]->setText(QString::fromStdString(t)); },
        [this](int k) {
            // The store follows the chart: a failed output holds nothing.
            outputs_[k].chart->clearSeries(0);
            samples_[k].clear();
        },
        [this](int k, const std::vector<double>& xs, const std::vector<double>& ys) {
            outputs_[k].chart->appendPoints(0, xs, ys);
        },
        [this](int k, std::vector<double> v) { samples_[k] = std::move(v); },
        [this](const std::string& text, const std::string& caption) {
            showMessage(QString::fromStdString(text), QString::fromStdString(caption));
        },
        [this](const std::array<bool, kOutputCount>& active) { endOfRun(active); },
        [this](int k) {
            // Cleared on screen at once, before the failure's message is read.
            samples_[k].clear();
            outputs_[k].chart->clearSeries(0);
            ActivateChartSeries(k, false);
            outputs_[k].chart->repaintNow();
            general_.ChartAll->repaintNow();
        }});
    buildChartMenu();
    buildToolBar();
    buildMenus();
    buildPages();
    buildStatusBar();
    bindGeneral();
    for (auto& o : outputs_)
        bindOutput(o);
    bindFieldRules();
    bindFileCommands();
    bindPlayback();
    // Settings files dropped anywhere on the window open as if chosen in Open.
    new FileDrop(this, [this](const QString& name) { openDroppedFile(name); });
    resize(kDesignWidth, kDesignHeight);
    pagesDesignSize_ = pages_->size();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    CalculateForms(0, kOutputCount - 1);
    history_.reset(forms_); // the forms at start-up: nothing to undo, not modified
    refreshUndoActions();
}

TOmbrix::~TOmbrix() {
    calcThread_.reset(); // stop and join before the engine, evaluator and sink go
    // FormDestroy: a running transfer is stopped and joined, then the shut-down frames.
    if (device_)
        device_->shutdown();
    monitor_.reset(); // they read the device link
    lineLog_.reset();
    device_.reset(); // before the widgets it is bound to
}

QToolButton* TOmbrix::toolButton(int number) const {
    return toolButtons_.at(number);
}

QAction* TOmbrix::menuAction(const QString& name) const {
    return findChild<QAction*>(name);
}

int TOmbrix::shownOutput() const {
    return pages_->currentIndex() - 1;
}

void TOmbrix::CalculateForms(int first, int last) {
    calcRequests_.emplace_back(first, last);
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
    CalcSnapshot snapshot{forms_,
                          sep_,
                          chartMenu_->view(),
                          chartMenu_->fftSize(),
                          chartMenu_->windowCode(),
                          {},
                          chartMenu_->decibels()};
    for (int k = from; k <= to; ++k)
        snapshot.leave[k] = !wanted[k] && failed_[k];
    calcThread_ = std::make_unique<TCalculateFormsThread>(
        std::max(from, 0), std::max(to, 0), std::move(snapshot), *calc_, *engine_, *sink_);
    // The worker is started first: what it hands over runs here only after this returns.
    // The "General" chart shows nothing while the run lasts; a run shorter than the pause
    // ends with its own redraw, so the blank chart is never drawn in between.
    for (int i = 0; i < kOutputCount; ++i)
        ActivateChartSeries(i, false, false);
    general_.ChartAll->repaintAfter(kBlankChartAfterMs);
    statusPanels_[3]->setText("Samples are calculating");
    // Every change that recalculates has been committed to the forms by now.
    formsCommitted();
}

void TOmbrix::showMessage(const QString& text, const QString& caption) {
    if (messageHandler_)
        messageHandler_(text, caption);
    else
        QMessageBox::critical(this, caption, text);
}

void TOmbrix::finishCalculation() {
    if (calcThread_)
        calcThread_->waitFor();
    sink_->deliver();
}

void TOmbrix::ActivateChartSeries(int index, bool active, bool redraw) {
    general_.ChartAll->setSeriesActive(index, active, redraw);
}

std::array<ChartView*, 7> TOmbrix::charts() const {
    return {general_.ChartAll, outputs_[0].chart, outputs_[1].chart, outputs_[2].chart,
            outputs_[3].chart, outputs_[4].chart, outputs_[5].chart};
}

void TOmbrix::endOfRun(const std::array<bool, kOutputCount>& active) {
    // A failed output holds nothing, whichever run it failed in: it is not drawn.
    for (int k = 0; k < kOutputCount; ++k)
        ActivateChartSeries(k, active[k] && !failed_[k], false);
    // Fit and set the limit lines first, then draw once: the same final picture with one
    // redraw per chart instead of two or three.
    refreshConverterLimits(false);
    for (ChartView* chart : charts()) {
        chart->undoZoom(false);
        chart->repaintNow();
    }
    clearUpperVectorState(); // painting may leave it dirty (see vectorstate.h)
    emit runEnded();
}

void TOmbrix::forEachSeries(const std::function<void(ChartView*, int)>& f) {
    for (auto& o : outputs_)
        f(o.chart, 0);
    for (int k = 0; k < kOutputCount; ++k)
        f(general_.ChartAll, k);
}

void TOmbrix::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    applyPageDock();
}

bool TOmbrix::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pageArea_ && event->type() == QEvent::Resize)
        applyPageDock();
    return QMainWindow::eventFilter(watched, event);
}

void TOmbrix::applyPageDock() {
    if (!pages_)
        return;
    // The outer size: the current client size plus the window frame's margins.
    const QSize outer = size() + (frameGeometry().size() - geometry().size());
    dock_ = pageDockFor(outer.width(), outer.height());
    const QRect area = pageArea_->rect();
    QSize keep = pagesDesignSize_.isValid() ? pagesDesignSize_ : pages_->size();
    switch (dock_) {
    case PageDock::Fill:
        pages_->setGeometry(area);
        pagesDesignSize_ = area.size();
        break;
    case PageDock::Left:
        pages_->setGeometry(0, 0, keep.width(), area.height());
        break;
    case PageDock::Top:
        pages_->setGeometry(0, 0, area.width(), keep.height());
        break;
    case PageDock::None:
        break;
    }
}

} // namespace ombrix
