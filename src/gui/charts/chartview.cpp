#include "gui/charts/chartview.h"

#include <QVBoxLayout>
#include <qcustomplot.h>

namespace ombrix {

ChartView::ChartView(const QString& title, bool legend, QWidget* parent)
    : QWidget(parent), plot_(new QCustomPlot(this)), title_(title) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot_);
    plot_->plotLayout()->insertRow(0);
    auto* heading = new QCPTextElement(plot_, title, QFont(font().family(), 10, QFont::Bold));
    plot_->plotLayout()->addElement(0, 0, heading);
    plot_->legend->setVisible(legend);
    if (legend) {
        QFont f = font();
        f.setPointSize(8);
        plot_->legend->setFont(f);
        plot_->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
    }
    // Wheel and drag zoom as plotting tools do; the chart menu's zoom works on top of that.
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(plot_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { emit menuRequested(plot_->mapToGlobal(pos)); });
    plot_->setNoAntialiasingOnDrag(true);
}

int ChartView::addSeries(const QString& name, const QColor& colour) {
    QCPGraph* g = plot_->addGraph();
    g->setName(name);
    g->setPen(QPen(colour));
    g->setLineStyle(QCPGraph::lsStepLeft);
    g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
    g->setAdaptiveSampling(true);
    graphs_.push_back(g);
    stairs_.push_back(true);
    return seriesCount() - 1;
}

void ChartView::clearSeries(int index) {
    graphs_.at(index)->data()->clear();
}

void ChartView::appendPoints(int index, const std::vector<double>& xs,
                             const std::vector<double>& ys) {
    QVector<double> kx(xs.begin(), xs.end());
    QVector<double> ky(ys.begin(), ys.end());
    // Points arrive in ascending x, so the container can skip its sort.
    graphs_.at(index)->addData(kx, ky, true);
}

int ChartView::pointCount(int index) const {
    return graphs_.at(index)->data()->size();
}

double ChartView::pointX(int index, int n) const {
    return (graphs_.at(index)->data()->constBegin() + n)->key;
}

double ChartView::pointY(int index, int n) const {
    return (graphs_.at(index)->data()->constBegin() + n)->value;
}

void ChartView::shareData(int index, const ChartView& other, int otherIndex) {
    graphs_.at(index)->setData(other.graphs_.at(otherIndex)->data());
}

void ChartView::setSeriesActive(int index, bool active) {
    graphs_.at(index)->setVisible(active);
    graphs_.at(index)->addToLegend(); // an inactive series keeps its legend entry
}

bool ChartView::isSeriesActive(int index) const {
    return graphs_.at(index)->visible();
}

void ChartView::setStairs(int index, bool on) {
    stairs_.at(index) = on;
    graphs_.at(index)->setLineStyle(on ? QCPGraph::lsStepLeft : QCPGraph::lsLine);
}

bool ChartView::stairs(int index) const {
    return stairs_.at(index);
}

void ChartView::setPointsVisible(int index, bool visible) {
    graphs_.at(index)->setScatterStyle(visible ? QCPScatterStyle(QCPScatterStyle::ssCircle, 2)
                                               : QCPScatterStyle::ssNone);
}

bool ChartView::pointsVisible(int index) const {
    return graphs_.at(index)->scatterStyle().shape() != QCPScatterStyle::ssNone;
}

void ChartView::setLimitLines(bool visible, double low, double high, bool redraw) {
    if (!limits_[0]) {
        for (auto& line : limits_) {
            line = new QCPItemStraightLine(plot_);
            line->setPen(QPen(QColor(200, 0, 0), 1, Qt::DashLine));
            line->setSelectable(false);
        }
    }
    const double levels[] = {low, high};
    for (int i = 0; i < 2; ++i) {
        limits_[i]->point1->setCoords(0, levels[i]);
        limits_[i]->point2->setCoords(1, levels[i]);
        limits_[i]->setVisible(visible);
    }
    if (redraw)
        plot_->replot();
}

bool ChartView::limitLinesVisible() const {
    return limits_[0] && limits_[0]->visible();
}

void ChartView::repaintNow() {
    plot_->replot(QCustomPlot::rpImmediateRefresh);
}

void ChartView::zoomPercent(double p) {
    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis}) {
        const QCPRange r = axis->range();
        const double d = (r.upper - r.lower) * (p - 100.0) / 100.0;
        axis->setRange(r.lower + d, r.upper - d);
    }
    plot_->replot();
}

void ChartView::undoZoom(bool redraw) {
    plot_->rescaleAxes(true);
    // A flat series would leave an empty range; give it some room so the line is visible.
    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis}) {
        QCPRange r = axis->range();
        if (r.upper - r.lower < 1e-12)
            axis->setRange(r.lower - 1.0, r.upper + 1.0);
    }
    if (redraw)
        plot_->replot();
}

} // namespace ombrix
