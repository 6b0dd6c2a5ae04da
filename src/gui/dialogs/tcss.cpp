#include "gui/dialogs/tcss.h"

#include <QMouseEvent>

namespace ombrix {

TCss::TCss(const QString& address, QWidget* parent) : QLabel(address, parent) {
    setCursor(Qt::PointingHandCursor);
    setHovered(false);
}

void TCss::setHovered(bool hovered) {
    QFont f = font();
    f.setUnderline(hovered);
    setFont(f);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, hovered ? Qt::red : Qt::blue);
    setPalette(pal);
    adjustSize();
}

void TCss::enterEvent(QEnterEvent* event) {
    setHovered(true);
    QLabel::enterEvent(event);
}

void TCss::leaveEvent(QEvent* event) {
    setHovered(false);
    QLabel::leaveEvent(event);
}

void TCss::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

} // namespace ombrix
