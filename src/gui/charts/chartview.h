// A chart of line series over QCustomPlot: exactly what the graph views ask of a chart.
//
// Series are addressed by index. Points are appended in batches on the GUI thread; a series
// may share the point container of a series of another chart, so the "General" chart shows
// the output charts' data without copying it.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <array>
#include <vector>

class QCustomPlot;
class QCPGraph;
class QCPItemStraightLine;
class QCPItemText;
class QCPItemTracer;
class QCPAxis;
class QCPRange;
class QTimer;

namespace ombrix {

class ChartView : public QWidget {
    Q_OBJECT
  public:
    ChartView(const QString& title, bool legend, QWidget* parent = nullptr);

    // Adds a line series with a hidden circular pointer of size 2 and stairs drawing on.
    int addSeries(const QString& name, const QColor& colour);
    int seriesCount() const { return static_cast<int>(graphs_.size()); }

    void clearSeries(int index);
    void appendPoints(int index, const std::vector<double>& xs, const std::vector<double>& ys);
    int pointCount(int index) const;
    double pointX(int index, int n) const;
    double pointY(int index, int n) const;

    // Makes the series draw from another series' points (both stay in step from then on).
    void shareData(int index, const ChartView& other, int otherIndex);

    // Shows or hides a series; the chart is redrawn soon, or only by the next redraw of any
    // kind when `redraw` is false.
    void setSeriesActive(int index, bool active, bool redraw = true);
    bool isSeriesActive(int index) const;
    void setStairs(int index, bool on);
    bool stairs(int index) const;
    void setPointsVisible(int index, bool visible);
    bool pointsVisible(int index) const;

    // Redraws at once when the chart is on screen; a hidden chart is redrawn when it is next
    // painted (its data is already there), so a run redraws only what the user sees.
    void repaintNow();
    // Redraws after `ms` milliseconds unless the chart is redrawn before then: a state that
    // lasts less than that (a series switched off while a short run computes) is never drawn.
    void repaintAfter(int ms);
    // True while a hidden chart waits for that redraw.
    bool redrawPending() const { return stale_; }

    // How the chart fits its keys and labels its read-out: sample indexes of one period, or
    // spectrum lines in hertz (fitted to the lines that carry the signal, so a 100 Hz line
    // does not sit on the value axis at the left of a 35 kHz wide range).
    void setSpectrum(bool spectrum, bool decibels = false);
    bool isSpectrum() const { return spectrum_; }

    // Writes the chart as shown to a PNG, PDF or SVG file (by the name's suffix).
    bool saveAs(const QString& fileName, QString& error);

    // The read-out for the point under x pixel `x` of the plot: the key, then each drawn
    // series' value at its nearest point; empty when no series is drawn.
    QString readOutAt(int x) const;
    // Whether the read-out is shown (the pointer hovers over the plotted area).
    bool readOutShown() const;
    // Each axis range [a, b] becomes [a + d, b - d] with d = (b - a)(p - 100)/100.
    void zoomPercent(double p);
    // Back to automatic ranges that fit every active series; redraws unless told not to. A
    // hidden chart is fitted when it is next painted or zoomed.
    void undoZoom(bool redraw = true);
    // The ranges as the user sees them (a pending fit done first): keys, then values.
    std::array<double, 2> keyRange();
    std::array<double, 2> valueRange();

    // Dashed lines at the lowest and highest voltage the converter expresses, or none;
    // redraws unless told not to.
    void setLimitLines(bool visible, double low = 0, double high = 0, bool redraw = true);
    bool limitLinesVisible() const;

    QCustomPlot* plot() const { return plot_; }
    QString title() const { return title_; }

  signals:
    // The user asked for the chart menu at this global position.
    void menuRequested(const QPoint& globalPos);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void refresh();
    void fit();
    void ensureFitted();
    void syncLegend();
    void keepInsideData(QCPAxis* axis, const QCPRange& range);
    void showReadOut(int x);
    void hideReadOut();

    QCustomPlot* plot_ = nullptr;
    QString title_;
    std::vector<QCPGraph*> graphs_;
    std::vector<bool> stairs_;
    std::array<QCPItemStraightLine*, 2> limits_{};
    QCPItemTracer* tracer_ = nullptr;
    QCPItemText* readOut_ = nullptr;
    QTimer* delayedRepaint_ = nullptr;
    bool hasLegend_ = false;
    bool stale_ = false;
    bool replotQueued_ = false;
    bool fitPending_ = false;
    bool spectrum_ = false;
    bool decibels_ = false;
    bool dragging_ = false;
    // The ranges Fit gives (low, high), which panning keeps to.
    std::array<double, 2> fitKeys_{0, 1}, fitValues_{-1, 1};
};

} // namespace ombrix
