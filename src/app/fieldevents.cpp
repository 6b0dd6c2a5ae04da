#include "app/fieldevents.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

namespace ombrix {

FieldEvents::FieldEvents(QWidget* field, KeyHandler onKey, ExitHandler onExit)
    : QObject(field), onKey_(std::move(onKey)), onExit_(std::move(onExit)) {
    field->installEventFilter(this);
}

bool FieldEvents::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && onKey_)
        return onKey_(static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::FocusOut && onExit_ && !inExit_) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            inExit_ = true;
            onExit_();
            inExit_ = false;
        }
    }
    return QObject::eventFilter(watched, event);
}

void setTypingLimit(QLineEdit* edit, int limit) {
    edit->setProperty("typingLimit", limit);
}

int typingLimit(const QLineEdit* edit) {
    return edit->property("typingLimit").toInt();
}

void watchField(QWidget* field, FieldEvents::KeyHandler onKey, FieldEvents::ExitHandler onExit) {
    new FieldEvents(field, std::move(onKey), std::move(onExit));
}

} // namespace ombrix
