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

    void setSeriesActive(int index, bool active);
    bool isSeriesActive(int index) const;
    void setStairs(int index, bool on);
    bool stairs(int index) const;
    void setPointsVisible(int index, bool visible);
    bool pointsVisible(int index) const;

    // Redraws at once.
    void repaintNow();
    // Each axis range [a, b] becomes [a + d, b - d] with d = (b - a)(p - 100)/100.
    void zoomPercent(double p);
    // Back to automatic ranges that fit every active series; redraws unless told not to.
    void undoZoom(bool redraw = true);

    // Dashed lines at the lowest and highest voltage the converter expresses, or none;
    // redraws unless told not to.
    void setLimitLines(bool visible, double low = 0, double high = 0, bool redraw = true);
    bool limitLinesVisible() const;

    QCustomPlot* plot() const { return plot_; }
    QString title() const { return title_; }

  signals:
    // The user asked for the chart menu at this global position.
    void menuRequested(const QPoint& globalPos);

  private:
    QCustomPlot* plot_;
    QString title_;
    std::vector<QCPGraph*> graphs_;
    std::vector<bool> stairs_;
    std::array<QCPItemStraightLine*, 2> limits_{};
};

} // namespace ombrix
