#include "app/chartviews.h"

#include "app/calculation.h"
#include "app/mainactions.h"
#include "app/mainpages.h"
#include "app/playbackreadout.h"
#include "app/userprompts.h"
#include "gui/charts/chartmenu.h"
#include "gui/charts/chartview.h"

#include <QAction>
#include <QToolButton>

namespace ombrix {

ChartViews::ChartViews(MainPages& pages, ChartMenu& chartMenu, const MainActions& actions,
                       Calculation& calculation, PlaybackReadout& readout, UserPrompts& prompts)
    : pages_(pages), chartMenu_(chartMenu), actions_(actions), calculation_(calculation),
      readout_(readout), prompts_(prompts) {
    ChartMenu* m = &chartMenu_;
    auto recalculateAll = [this] { calculation_.CalculateForms(0, kOutputCount - 1); };
    connect(m->Point, &QAction::triggered, this, [this](bool on) {
        forEachSeries([on](ChartView* c, int i) { c->setPointsVisible(i, on); });
    });
    connect(m->Stairs, &QAction::triggered, this,
            [this](bool on) { forEachSeries([on](ChartView* c, int i) { c->setStairs(i, on); }); });
    for (QAction* item : {m->Form1, m->FFTamplitude1, m->FFTreal1, m->FFTimag1, m->FFTphase1})
        connect(item, &QAction::triggered, this, [this, item] { viewClick(item); });
    for (QAction* item : m->sizes)
        connect(item, &QAction::triggered, this, recalculateAll);
    for (QAction* item : m->windows)
        connect(item, &QAction::triggered, this, [this, recalculateAll] {
            // The engine takes the window with the next run; the form view needs none.
            if (chartMenu_.view() != ViewKind::Form)
                recalculateAll();
        });
    connect(m->Zoomin1, &QAction::triggered, this, [this] {
        for (ChartView* c : pages_.charts())
            c->zoomPercent(110);
    });
    connect(m->Zoomout1, &QAction::triggered, this, [this] {
        for (ChartView* c : pages_.charts())
            c->zoomPercent(90);
    });
    connect(m->MagnitudeDb, &QAction::triggered, this, [this, recalculateAll] {
        applyChartKinds();
        if (chartMenu_.view() == ViewKind::Magnitude)
            recalculateAll();
    });
    connect(m->SaveChart, &QAction::triggered, this, &ChartViews::saveChartAs);
    connect(m->Fitgraph1, &QAction::triggered, this, [this] {
        for (ChartView* c : pages_.charts())
            c->undoZoom();
    });
    for (ChartView* chart : pages_.charts())
        connect(chart, &ChartView::menuRequested, this, [this, chart](const QPoint& at) {
            menuChart_ = chart;
            chartMenu_.popup(at);
        });
}

void ChartViews::forEachSeries(const std::function<void(ChartView*, int)>& f) {
    for (auto& o : pages_.outputs)
        f(o.chart, 0);
    for (int k = 0; k < kOutputCount; ++k)
        f(pages_.general.ChartAll, k);
}

void ChartViews::viewClick(QAction* item) {
    item->setChecked(true);
    const bool form = item == chartMenu_.Form1;
    // "&Send all" is usable in the form view only, and only while connected.
    if (form) {
        if (actions_.disconnectButton->isEnabled())
            actions_.sendAllButton->setEnabled(true);
    } else {
        actions_.sendAllButton->setEnabled(false);
    }
    // The form view draws stairs, the spectrum views lines.
    chartMenu_.Stairs->setChecked(form);
    forEachSeries([form](ChartView* c, int i) { c->setStairs(i, form); });
    applyChartKinds();
    readout_.refreshConverterLimits();
    calculation_.CalculateForms(0, kOutputCount - 1);
}

void ChartViews::applyChartKinds() {
    const ViewKind view = chartMenu_.view();
    const bool decibels = view == ViewKind::Magnitude && chartMenu_.decibels();
    for (ChartView* chart : pages_.charts())
        chart->setSpectrum(view != ViewKind::Form, decibels);
}

void ChartViews::saveChartAs() {
    ChartView* chart = menuChart_ && menuChart_->isVisible() ? menuChart_ : pages_.shownChart();
    const QString name = prompts_.chartFileName(chart->title().replace(' ', '-').toLower());
    if (name.isEmpty())
        return;
    QString error;
    if (!chart->saveAs(name, error))
        prompts_.showMessage(error, "Error");
}

} // namespace ombrix
