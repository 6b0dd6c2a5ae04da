// The charts as the chart menu asks: the view (form or a spectrum), points and stairs, the
// transform size and window (which recalculate), zoom and fit, magnitude in dB, and saving
// the chart whose menu was opened. The menu is every chart's context menu.
#pragma once

#include <QObject>

#include <functional>

class QAction;

namespace ombrix {

class Calculation;
class ChartMenu;
class ChartView;
class PlaybackReadout;
class UserPrompts;
struct MainActions;
struct MainPages;

class ChartViews : public QObject {
    Q_OBJECT
  public:
    ChartViews(MainPages& pages, ChartMenu& chartMenu, const MainActions& actions,
               Calculation& calculation, PlaybackReadout& readout, UserPrompts& prompts);

    // "&Save chart as..." for the chart whose menu was opened (or the one shown).
    void saveChartAs();

  private:
    void viewClick(QAction* item);
    // What the view asks of each chart's fit and read-out.
    void applyChartKinds();
    void forEachSeries(const std::function<void(ChartView*, int)>& f);

    MainPages& pages_;
    ChartMenu& chartMenu_;
    const MainActions& actions_;
    Calculation& calculation_;
    PlaybackReadout& readout_;
    UserPrompts& prompts_;
    ChartView* menuChart_ = nullptr; // the chart whose menu was opened last
};

} // namespace ombrix
