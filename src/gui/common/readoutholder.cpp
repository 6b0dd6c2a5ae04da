#include "gui/common/readoutholder.h"

#include <QEvent>
#include <QResizeEvent>

#include <algorithm>

namespace ombrix {

ReadoutHolder::ReadoutHolder(QLabel* label, QWidget* parent)
    : QWidget(parent), label_(label), height_(0) {
    label_->setParent(this);
    // The width is the column's: the text never widens the window.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    height_ = labelHeight();
}

int ReadoutHolder::labelHeight() const {
    // An empty label still takes a line, so that the column does not jump when it fills.
    return std::max(label_->sizeHint().height(), label_->fontMetrics().height());
}

QSize ReadoutHolder::sizeHint() const {
    return {label_->sizeHint().width(), height_};
}

QSize ReadoutHolder::minimumSizeHint() const {
    return {0, height_};
}

bool ReadoutHolder::event(QEvent* event) {
    // The label's text, font or style changed: only a new height concerns the layout.
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::StyleChange ||
        event->type() == QEvent::FontChange) {
        const int height = labelHeight();
        if (height != height_) {
            height_ = height;
            updateGeometry();
        }
    }
    return QWidget::event(event);
}

void ReadoutHolder::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    label_->setGeometry(rect());
}

} // namespace ombrix
