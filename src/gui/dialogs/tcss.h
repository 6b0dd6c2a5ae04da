// A link label: red and underlined under the pointer, blue otherwise, with the hand pointer.
#pragma once

#include <QLabel>

namespace ombrix {

class TCss : public QLabel {
    Q_OBJECT
  public:
    explicit TCss(const QString& address, QWidget* parent = nullptr);

    // Red and underlined (the pointer is over it) or blue without underline.
    void setHovered(bool hovered);

  signals:
    void clicked();

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace ombrix
