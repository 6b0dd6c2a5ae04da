#include "gui/common/elidedlabel.h"

#include <QResizeEvent>

namespace ombrix {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    // Its whole text when there is room, less down to nothing when there is not: it never
    // widens the window.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void ElidedLabel::setFullText(const QString& text) {
    full_ = text;
    setToolTip(text);
    elide();
    updateGeometry();
}

QSize ElidedLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

QSize ElidedLabel::sizeHint() const {
    const QMargins m = contentsMargins();
    return {fontMetrics().horizontalAdvance(full_) + m.left() + m.right() + 2 * margin() + 2,
            QLabel::sizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide() {
    QLabel::setText(fontMetrics().elidedText(full_, Qt::ElideRight, contentsRect().width()));
}

} // namespace ombrix
