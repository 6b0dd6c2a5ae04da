// The main window's body: the page control with the "General" page and the six output pages,
// the progress bar under it, and the status bar's panels.
#pragma once

#include "app/generalpage.h"
#include "app/outputpage.h"
#include "core/model/formsconfig.h"

#include <array>

class QLabel;
class QMainWindow;
class QProgressBar;
class QTabWidget;
class QWidget;

namespace ombrix {

class ChartView;
class ElidedLabel;

struct MainPages {
    GeneralPage general;
    std::array<OutputPage, kOutputCount> outputs;
    QWidget* pageArea = nullptr;      // the page control's area, docked as the window's size allows
    QTabWidget* pages = nullptr;      // "PageControl1": "General", "Output 1".."Output 6"
    QProgressBar* progress = nullptr; // "COMProgressBar"
    std::array<QLabel*, 6> statusPanels{}; // panels 0..5 of the status bar
    ElidedLabel* limitsPanel = nullptr;    // "Limited when sent: ..."
    QLabel* deviceDiffers = nullptr;       // "Device differs: Output N"

    // ChartAll, then Output_Chart1..Output_Chart6.
    std::array<ChartView*, 7> charts() const;
    // The chart of the page shown.
    ChartView* shownChart() const;
    // The output of the page shown, -1 on "General".
    int shownOutput() const;
};

// Builds the pages (with the output pages' run-time controls in their stated order), the
// progress bar and the status bar into `window`. The "General" chart's series share the
// output charts' points.
MainPages buildMainPages(QMainWindow& window);

} // namespace ombrix
