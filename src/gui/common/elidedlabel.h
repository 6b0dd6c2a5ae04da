// A one-line label that takes only the room left beside its neighbours: its text is cut
// with "..." when that room is short, and shown whole in its tool tip.
#pragma once

#include <QLabel>

namespace ombrix {

class ElidedLabel : public QLabel {
    Q_OBJECT
  public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    QString fullText() const { return full_; }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void elide();
    QString full_;
};

} // namespace ombrix
