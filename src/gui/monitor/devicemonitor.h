// The "Device monitor" window: what the generator holds and plays, read from the simulated
// generator's state, or on a real port built from what the program sent and the device
// acknowledged (there is no read-back), labelled so. Per output: its period decoded to volts
// over two periods of real time, whether it plays, its frequency and error against the forms;
// the reference codes; the sweep as frequency steps over time. Outputs that differ from the
// forms are marked here and reported by differenceChanged until the next transfer.
#pragma once

#include "core/device/deviceimage.h"

#include <QWidget>

#include <array>

class QCustomPlot;
class QLabel;
class QTimer;

namespace ombrix {

class DeviceController;

class DeviceMonitor : public QWidget {
    Q_OBJECT
  public:
    explicit DeviceMonitor(DeviceController& device, QWidget* parent = nullptr);

    // Reads the device, compares it with the forms and, when shown, redraws.
    void refresh();

    const DeviceImage& image() const { return image_; }
    const DeviceDifference& difference() const { return difference_; }
    // The status bar's text: "Device differs: Output 2", empty when the device matches.
    QString differenceText() const;

  signals:
    void differenceChanged(const QString& text);

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void draw();

    DeviceController& device_;
    QLabel* source_ = nullptr;
    std::array<QCustomPlot*, kOutputCount> plots_{};
    std::array<QLabel*, kOutputCount> captions_{};
    QLabel* references_ = nullptr;
    QCustomPlot* sweep_ = nullptr;
    QTimer* timer_ = nullptr;
    DeviceImage image_;
    DeviceDifference difference_;
    char separator_ = '.'; // the forms' decimal separator, for the error figure
    QString shownDifference_;
};

} // namespace ombrix
