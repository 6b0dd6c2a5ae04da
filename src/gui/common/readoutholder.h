// Holds a one-line read-out label whose text changes with every edit (the real frequency, the
// real sweep). A QLabel that changes its text asks its parents to lay themselves out again,
// and a tab widget that hears of it repaints its whole page: on the main window that is the
// whole left column on every keystroke that moves the frequency. Held here, the label's new
// texts repaint the label alone; only a change of its height reaches the layout around.
#pragma once

#include <QLabel>
#include <QWidget>

namespace ombrix {

class ReadoutHolder : public QWidget {
    Q_OBJECT
  public:
    // Takes `label` as its child; the label is as wide as the holder.
    explicit ReadoutHolder(QLabel* label, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    int labelHeight() const;

    QLabel* label_;
    int height_;
};

} // namespace ombrix
