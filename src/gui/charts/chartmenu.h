// The chart menu "PopupMenuChart": view, display style, transform size, window and zoom.
// The check marks are the view state; there is no other copy of it.
#pragma once

#include "core/compute/calculationrun.h"

#include <QMenu>

#include <array>

class QAction;
class QActionGroup;

namespace ombrix {

class ChartMenu : public QMenu {
    Q_OBJECT
  public:
    explicit ChartMenu(QWidget* parent = nullptr);

    QAction* Point;
    QAction* Stairs;
    QAction* Form1;
    QAction* FFTamplitude1;
    QAction* FFTreal1;
    QAction* FFTimag1;
    QAction* FFTphase1;
    QAction* MagnitudeDb; // "Magnitude in dB": the magnitude view on a logarithmic scale
    QAction* SaveChart;   // "Save chart as..."

    std::array<QAction*, 9> sizes{};   // N128..N32768
    std::array<QAction*, 5> windows{}; // in menu order: Rectangle, Triangular, Hanning,
                                       // Hamming, Blackman
    QAction* Zoomin1;
    QAction* Zoomout1;
    QAction* Fitgraph1;

    ViewKind view() const;
    bool decibels() const;
    int fftSize() const;
    int windowCode() const;

    // Transform size of a size item and the engine's window code of a window item.
    static int sizeOf(int item) { return 128 << item; }
    static int windowCodeOf(int item);
};

} // namespace ombrix
