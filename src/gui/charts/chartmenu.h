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

    QAction* Point = nullptr;
    QAction* Stairs = nullptr;
    QAction* Form1 = nullptr;
    QAction* FFTamplitude1 = nullptr;
    QAction* FFTreal1 = nullptr;
    QAction* FFTimag1 = nullptr;
    QAction* FFTphase1 = nullptr;
    QAction* MagnitudeDb = nullptr; // "Magnitude in dB": the magnitude view on a logarithmic scale
    QAction* SaveChart = nullptr;   // "Save chart as..."

    std::array<QAction*, 9> sizes{};   // N128..N32768
    std::array<QAction*, 5> windows{}; // in menu order: Rectangle, Triangular, Hanning,
                                       // Hamming, Blackman
    QAction* Zoomin1 = nullptr;
    QAction* Zoomout1 = nullptr;
    QAction* Fitgraph1 = nullptr;

    ViewKind view() const;
    bool decibels() const;
    int fftSize() const;
    int windowCode() const;

    // Transform size of a size item and the engine's window code of a window item.
    static int sizeOf(int item) { return 128 << item; }
    static int windowCodeOf(int item);
};

} // namespace ombrix
