// An up-down pair of arrow buttons attached to an edit, as number fields of this program use.
// The edit stays a free-text field; the arrows step a position between a minimum and maximum
// and announce the change before it is written to the edit.
#pragma once

#include <QWidget>

class QToolButton;

namespace ombrix {

class UpDown : public QWidget {
    Q_OBJECT
  public:
    explicit UpDown(QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    int minimum() const { return min_; }
    int maximum() const { return max_; }
    void setPosition(int position);
    int position() const { return pos_; }

    // Simulates a click on one arrow (the same path as the mouse takes).
    void step(bool up);

  signals:
    // A click is about to move the position to `next`; handlers may read the edit first.
    void changing(int next);
    // After a click: the new position and the arrow that was clicked.
    void clicked(int position, bool up);

  private:
    QToolButton* upButton_ = nullptr;
    QToolButton* downButton_ = nullptr;
    int min_ = 1;
    int max_ = 8192;
    int pos_ = 1;
};

} // namespace ombrix
