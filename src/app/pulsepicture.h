// The pulse-shape picture of an output page: one period as a red trapezoid over a zero line,
// with the levels A1 and A2 and the four times marked by arrows.
#pragma once

#include <QWidget>

namespace ombrix {

class PulsePicture : public QWidget {
  public:
    explicit PulsePicture(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace ombrix
