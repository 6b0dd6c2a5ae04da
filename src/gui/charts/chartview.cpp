#include "gui/charts/chartview.h"

#include "gui/common/localfiles.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPageSize>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QTimer>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

namespace ombrix {

namespace {

// Room left beside the data on each side of an axis, as a share of the data's span, so that
// a level at the top or bottom of the range is not drawn on the axis line.
constexpr double kMargin = 0.05;
// A flat series is shown this far above and below its level.
constexpr double kFlatHalfRange = 2.5;
// Spectrum lines count as signal down to this share of the largest (or this many dB below).
constexpr double kSignalShare = 1e-3;
constexpr double kSignalDb = 60.0;

std::array<double, 2> withMargin(double low, double high) {
    if (!(high - low > 1e-12))
        return {low - kFlatHalfRange, high + kFlatHalfRange};
    const double m = (high - low) * kMargin;
    return {low - m, high + m};
}

// Moves a range by the least amount so that it stays within the bounds (or, wider than
// them, keeps them all in view).
QCPRange keptInside(QCPRange r, double low, double high) {
    const double size = r.size();
    if (size <= high - low) {
        if (r.lower < low)
            return QCPRange(low, low + size);
        if (r.upper > high)
            return QCPRange(high - size, high);
    } else {
        if (r.lower > low)
            return QCPRange(low, low + size);
        if (r.upper < high)
            return QCPRange(high - size, high);
    }
    return r;
}

} // namespace

ChartView::ChartView(const QString& title, bool legend, QWidget* parent)
    : QWidget(parent), plot_(new QCustomPlot(this)), title_(title) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot_);
    plot_->plotLayout()->insertRow(0);
    auto* heading = new QCPTextElement(plot_, title, QFont(font().family(), 10, QFont::Bold));
    plot_->plotLayout()->addElement(0, 0, heading);
    hasLegend_ = legend;
    plot_->legend->setVisible(legend);
    if (legend) {
        // The legend sits in a row of its own between the title and the plot, listing the
        // drawn series side by side, so that it never covers a curve.
        QFont f = font();
        f.setPointSize(8);
        plot_->legend->setFont(f);
        plot_->axisRect()->insetLayout()->take(plot_->legend);
        plot_->axisRect()->insetLayout()->simplify();
        // Beside it a spacer that takes the rest of the row: a grid is only as wide as its
        // columns allow, and a legend with no entries would narrow the whole plot to nothing.
        auto* row = new QCPLayoutGrid; // owned by the plot's layout
        plot_->plotLayout()->insertRow(1);
        plot_->plotLayout()->addElement(1, 0, row);
        plot_->plotLayout()->setRowStretchFactor(1, 0.001);
        row->addElement(0, 0, plot_->legend);
        row->addElement(0, 1, new QCPLayoutElement(plot_));
        row->setColumnStretchFactor(0, 0.001);
        plot_->legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
        plot_->legend->setWrap(6);
        plot_->legend->setBorderPen(Qt::NoPen);
        plot_->legend->setMargins(QMargins(2, 0, 2, 0));
    }
    // Wheel and drag zoom as plotting tools do; the chart menu's zoom works on top of that.
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(plot_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { emit menuRequested(plot_->mapToGlobal(pos)); });
    plot_->setNoAntialiasingOnDrag(true);
    // Dragging pans within the data; the wheel zooms about the pointer.
    connect(plot_, &QCustomPlot::mousePress, this, [this] { dragging_ = true; });
    connect(plot_, &QCustomPlot::mouseRelease, this, [this] { dragging_ = false; });
    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis})
        connect(axis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
                [this, axis](const QCPRange& r) { keepInsideData(axis, r); });
    // The read-out: a tracer on the nearest sample and a label with the values there, on a
    // layer of their own so that moving them redraws only that layer.
    plot_->addLayer("readout", nullptr, QCustomPlot::limAbove);
    plot_->layer("readout")->setMode(QCPLayer::lmBuffered);
    tracer_ = new QCPItemTracer(plot_);
    tracer_->setLayer("readout");
    tracer_->setStyle(QCPItemTracer::tsCrosshair);
    tracer_->setPen(QPen(QColor(90, 90, 90), 1, Qt::DotLine));
    tracer_->setVisible(false);
    readOut_ = new QCPItemText(plot_);
    readOut_->setLayer("readout");
    readOut_->setPositionAlignment(Qt::AlignTop | Qt::AlignLeft);
    readOut_->position->setType(QCPItemPosition::ptAxisRectRatio);
    readOut_->position->setCoords(0.01, 0.01);
    readOut_->setTextAlignment(Qt::AlignLeft);
    readOut_->setBrush(QColor(255, 255, 230, 230));
    readOut_->setPen(QPen(QColor(160, 160, 160)));
    readOut_->setPadding(QMargins(3, 1, 3, 1));
    QFont small = font();
    small.setPointSize(8);
    readOut_->setFont(small);
    readOut_->setVisible(false);
    plot_->setMouseTracking(true);
    connect(plot_, &QCustomPlot::mouseMove, this,
            [this](QMouseEvent* e) { showReadOut(qRound(e->position().x())); });
    plot_->installEventFilter(this);
    delayedRepaint_ = new QTimer(this);
    delayedRepaint_->setSingleShot(true);
    connect(delayedRepaint_, &QTimer::timeout, this, [this] { refresh(); });
    // Every redraw, however asked for, draws the current state: a delayed one is no longer
    // needed. The legend follows the drawn series here, not at every switch: a run switches
    // every series off and back on, and new legend items cost a layout pass.
    connect(plot_, &QCustomPlot::beforeReplot, this, [this] {
        delayedRepaint_->stop();
        syncLegend();
    });
}

bool ChartView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == plot_) {
        if (event->type() == QEvent::Paint && (stale_ || fitPending_)) {
            ensureFitted();
            // Brought up to date before it is painted: the buffers are drawn now, the
            // paint below shows them.
            stale_ = false;
            plot_->replot(QCustomPlot::rpQueuedRefresh);
        } else if (event->type() == QEvent::Resize) {
            // About one key label per 100 pixels, so that five-digit frequencies never touch.
            plot_->xAxis->ticker()->setTickCount(std::clamp(plot_->width() / 100, 2, 8));
        } else if (event->type() == QEvent::Leave) {
            hideReadOut();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ChartView::refresh() {
    if (!isVisible()) {
        stale_ = true;
        return;
    }
    // One queued redraw of our own rather than QCustomPlot's: its queued replot cannot be
    // withdrawn, so a chart drawn at once at the end of a run was drawn a second time.
    if (replotQueued_)
        return;
    replotQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (replotQueued_) {
                replotQueued_ = false;
                plot_->replot();
            }
        },
        Qt::QueuedConnection);
}

void ChartView::syncLegend() {
    if (!hasLegend_)
        return;
    std::vector<QCPGraph*> drawn;
    for (QCPGraph* g : graphs_)
        if (g->visible())
            drawn.push_back(g);
    bool same = plot_->legend->itemCount() == static_cast<int>(drawn.size());
    for (int i = 0; same && i < plot_->legend->itemCount(); ++i) {
        auto* item = static_cast<QCPPlottableLegendItem*>(plot_->legend->item(i));
        same = item->plottable() == drawn[static_cast<std::size_t>(i)];
    }
    if (same)
        return;
    plot_->legend->clearItems();
    for (QCPGraph* g : drawn)
        g->addToLegend();
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
    hideReadOut();
}

void ChartView::appendPoints(int index, const std::vector<double>& xs,
                             const std::vector<double>& ys) {
    QVector<QCPGraphData> points(static_cast<qsizetype>(std::min(xs.size(), ys.size())));
    for (qsizetype i = 0; i < points.size(); ++i)
        points[i] = QCPGraphData(xs[static_cast<std::size_t>(i)], ys[static_cast<std::size_t>(i)]);
    // Points arrive in ascending x, so the container can skip its sort.
    graphs_.at(index)->data()->add(points, true);
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

void ChartView::setSeriesActive(int index, bool active, bool redraw) {
    if (graphs_.at(index)->visible() == active)
        return;
    graphs_.at(index)->setVisible(active); // the legend follows when drawn
    hideReadOut();
    if (redraw)
        refresh();
}

bool ChartView::isSeriesActive(int index) const {
    return graphs_.at(index)->visible();
}

void ChartView::setStairs(int index, bool on) {
    stairs_.at(index) = on;
    graphs_.at(index)->setLineStyle(on ? QCPGraph::lsStepLeft : QCPGraph::lsLine);
    refresh();
}

bool ChartView::stairs(int index) const {
    return stairs_.at(index);
}

void ChartView::setPointsVisible(int index, bool visible) {
    graphs_.at(index)->setScatterStyle(visible ? QCPScatterStyle(QCPScatterStyle::ssCircle, 2)
                                               : QCPScatterStyle::ssNone);
    refresh();
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
        refresh();
}

bool ChartView::limitLinesVisible() const {
    return limits_[0] && limits_[0]->visible();
}

void ChartView::repaintAfter(int ms) {
    delayedRepaint_->start(ms);
}

void ChartView::repaintNow() {
    if (isVisible()) {
        stale_ = false;
        replotQueued_ = false; // what was queued is drawn now
        plot_->replot(QCustomPlot::rpImmediateRefresh);
    } else {
        stale_ = true;
    }
}

void ChartView::zoomPercent(double p) {
    ensureFitted();
    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis}) {
        const QCPRange r = axis->range();
        const double d = (r.upper - r.lower) * (p - 100.0) / 100.0;
        axis->setRange(r.lower + d, r.upper - d);
    }
    refresh();
}

void ChartView::undoZoom(bool redraw) {
    // A hidden chart is fitted when it is next painted or zoomed: a run fits what is seen.
    if (!isVisible()) {
        fitPending_ = true;
        stale_ = true;
        return;
    }
    fit();
    if (redraw)
        refresh();
}

std::array<double, 2> ChartView::keyRange() {
    ensureFitted();
    return {plot_->xAxis->range().lower, plot_->xAxis->range().upper};
}

std::array<double, 2> ChartView::valueRange() {
    ensureFitted();
    return {plot_->yAxis->range().lower, plot_->yAxis->range().upper};
}

void ChartView::ensureFitted() {
    if (fitPending_)
        fit();
}

void ChartView::fit() {
    fitPending_ = false;
    bool any = false;
    double keyLow = 0, keyHigh = 0, valueLow = 0, valueHigh = 0, largest = 0;
    for (QCPGraph* g : graphs_) {
        if (!g->visible() || g->data()->isEmpty())
            continue;
        // One reference to the container: data() hands out a new shared pointer each call.
        const QCPGraphDataContainer& data = *g->data();
        for (auto it = data.constBegin(); it != data.constEnd(); ++it) {
            if (!std::isfinite(it->value))
                continue;
            if (!any) {
                keyLow = keyHigh = it->key;
                valueLow = valueHigh = it->value;
                any = true;
            }
            keyLow = std::min(keyLow, it->key);
            keyHigh = std::max(keyHigh, it->key);
            valueLow = std::min(valueLow, it->value);
            valueHigh = std::max(valueHigh, it->value);
            largest = std::max(largest, std::abs(it->value));
        }
    }
    if (!any) {
        keyLow = 0;
        keyHigh = 1;
    } else if (spectrum_) {
        // The keys end a little after the last line that carries the signal.
        double lastSignal = keyLow;
        for (QCPGraph* g : graphs_) {
            if (!g->visible())
                continue;
            const QCPGraphDataContainer& data = *g->data();
            for (auto it = data.constBegin(); it != data.constEnd(); ++it) {
                const bool signal = decibels_ ? it->value >= valueHigh - kSignalDb
                                              : std::abs(it->value) >= largest * kSignalShare;
                if (signal && std::isfinite(it->value))
                    lastSignal = std::max(lastSignal, it->key);
            }
        }
        if (lastSignal > keyLow)
            keyHigh = std::min(keyHigh, keyLow + (lastSignal - keyLow) * 1.25);
    }
    fitKeys_ = any ? withMargin(keyLow, keyHigh) : std::array<double, 2>{0, 1};
    if (any && spectrum_ && keyHigh - keyLow > 1e-12) {
        // Keys start at the first line; only a small room to the left of it.
        const double m = (keyHigh - keyLow) * 0.02;
        fitKeys_ = {keyLow - m, keyHigh + m};
    }
    fitValues_ = any ? withMargin(valueLow, valueHigh) : std::array<double, 2>{-1, 1};
    plot_->xAxis->setRange(fitKeys_[0], fitKeys_[1]);
    plot_->yAxis->setRange(fitValues_[0], fitValues_[1]);
}

void ChartView::keepInsideData(QCPAxis* axis, const QCPRange& range) {
    if (!dragging_)
        return;
    const auto& bounds = axis == plot_->xAxis ? fitKeys_ : fitValues_;
    const QCPRange kept = keptInside(range, bounds[0], bounds[1]);
    if (kept.lower != range.lower || kept.upper != range.upper)
        axis->setRange(kept);
}

void ChartView::setSpectrum(bool spectrum, bool decibels) {
    spectrum_ = spectrum;
    decibels_ = decibels;
}

QString ChartView::readOutAt(int x) const {
    QStringList lines;
    const double key = plot_->xAxis->pixelToCoord(x);
    bool keyShown = false;
    for (QCPGraph* g : graphs_) {
        if (!g->visible() || g->data()->isEmpty())
            continue;
        auto it = g->data()->findBegin(key, false);
        if (it == g->data()->constEnd())
            it = g->data()->constEnd() - 1;
        if (it != g->data()->constBegin() &&
            std::abs((it - 1)->key - key) < std::abs(it->key - key))
            --it;
        if (!keyShown) {
            lines << (spectrum_ ? QStringLiteral("%1 Hz").arg(it->key, 0, 'g', 6)
                                : QStringLiteral("Sample %1").arg(qRound(it->key)));
            keyShown = true;
        }
        lines << QStringLiteral("%1: %2").arg(g->name()).arg(it->value, 0, 'g', 6);
    }
    return lines.join('\n');
}

void ChartView::showReadOut(int x) {
    if (dragging_ || !plot_->axisRect()->rect().contains(x, plot_->axisRect()->center().y())) {
        hideReadOut();
        return;
    }
    const QString text = readOutAt(x);
    if (text.isEmpty()) {
        hideReadOut();
        return;
    }
    QCPGraph* first = nullptr;
    for (QCPGraph* g : graphs_)
        if (g->visible() && !g->data()->isEmpty()) {
            first = g;
            break;
        }
    tracer_->setGraph(first);
    tracer_->setGraphKey(plot_->xAxis->pixelToCoord(x));
    tracer_->setInterpolating(false);
    tracer_->setVisible(true);
    readOut_->setText(text);
    readOut_->setVisible(true);
    plot_->layer("readout")->replot();
}

void ChartView::hideReadOut() {
    if (!readOut_ || !readOut_->visible())
        return;
    tracer_->setVisible(false);
    tracer_->setGraph(nullptr);
    readOut_->setVisible(false);
    plot_->layer("readout")->replot();
}

bool ChartView::saveAs(const QString& fileName, QString& error) {
    ensureFitted();
    syncLegend();
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    const int w = plot_->width(), h = plot_->height();
    // Drawn into memory first, then written whole: a failed write leaves an earlier file as
    // it was and is reported with its reason.
    QBuffer image;
    image.open(QIODevice::WriteOnly);
    bool ok = false;
    if (suffix == "png") {
        ok = plot_->toPixmap(w, h).save(&image, "PNG");
    } else if (suffix == "pdf") {
        QPdfWriter pdf(&image);
        pdf.setPageSize(QPageSize(QSizeF(w, h), QPageSize::Point));
        pdf.setPageMargins(QMarginsF());
        pdf.setTitle(title_);
        QCPPainter painter;
        if (painter.begin(&pdf)) {
            painter.setMode(QCPPainter::pmVectorized);
            painter.setMode(QCPPainter::pmNoCaching);
            painter.setWindow(0, 0, w, h);
            plot_->toPainter(&painter, w, h);
            ok = painter.end();
        }
    } else if (suffix == "svg") {
        QSvgGenerator svg;
        svg.setOutputDevice(&image);
        svg.setSize(QSize(w, h));
        svg.setViewBox(QRect(0, 0, w, h));
        svg.setTitle(title_);
        QCPPainter painter;
        if (painter.begin(&svg)) {
            plot_->toPainter(&painter, w, h);
            ok = painter.end();
        }
    } else {
        error = "Choose a file name ending in .png, .pdf or .svg.";
        return false;
    }
    const QString writeError = ok ? writeWholeFile(fileName, image.data())
                                  : QStringLiteral("the chart could not be drawn");
    if (!writeError.isEmpty())
        error = QStringLiteral("Could not save the chart to \"%1\": %2").arg(fileName, writeError);
    return writeError.isEmpty();
}

} // namespace ombrix
