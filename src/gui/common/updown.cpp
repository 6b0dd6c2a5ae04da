#include "gui/common/updown.h"

#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace ombrix {

UpDown::UpDown(QWidget* parent)
    : QWidget(parent), upButton_(new QToolButton(this)), downButton_(new QToolButton(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    upButton_->setArrowType(Qt::UpArrow);
    downButton_->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {upButton_, downButton_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        b->setFixedWidth(16);
        layout->addWidget(b);
    }
    connect(upButton_, &QToolButton::clicked, this, [this] { step(true); });
    connect(downButton_, &QToolButton::clicked, this, [this] { step(false); });
}

void UpDown::setRange(int minimum, int maximum) {
    min_ = minimum;
    max_ = std::max(minimum, maximum);
    pos_ = std::clamp(pos_, min_, max_);
}

void UpDown::setPosition(int position) {
    pos_ = std::clamp(position, min_, max_);
}

void UpDown::step(bool up) {
    const int next = std::clamp(pos_ + (up ? 1 : -1), min_, max_);
    emit changing(next);
    pos_ = next;
    emit clicked(pos_, up);
}

} // namespace ombrix
