#include "gui/common/fieldevents.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>

namespace ombrix {

FieldEvents::FieldEvents(QWidget* field, KeyHandler onKey, ExitHandler onExit)
    : QObject(field), onKey_(std::move(onKey)), onExit_(std::move(onExit)) {
    field->installEventFilter(this);
    // Every change the user makes counts, not only key presses: paste, drop, middle click,
    // input method, cut and the edit's own undo as well.
    if (auto* edit = qobject_cast<QLineEdit*>(field))
        connect(edit, &QLineEdit::textEdited, this, [this, field] { changedByUser(field); });
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(field))
        connect(memo, &QPlainTextEdit::textChanged, this, [this, memo] {
            if (memo->hasFocus()) // the program's own writes happen without the focus
                changedByUser(memo);
        });
}

void FieldEvents::changedByUser(QWidget* field) {
    edited_ = true;
    // A change that did not come with the focus (a text dropped on the field) has no leaving
    // to wait for: it is committed as soon as the change is done (textEdited comes before the
    // text is written to the forms).
    if (!field->hasFocus())
        QMetaObject::invokeMethod(this, &FieldEvents::commitIfEdited, Qt::QueuedConnection);
}

bool FieldEvents::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const bool discard = onKey_ && onKey_(static_cast<QKeyEvent*>(event));
        edited_ = edited_ || !discard;
        return discard;
    }
    if (event->type() == QEvent::FocusOut && onExit_ && !inExit_) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            runExit();
    }
    return QObject::eventFilter(watched, event);
}

void FieldEvents::runExit() {
    edited_ = false;
    inExit_ = true;
    onExit_();
    inExit_ = false;
}

void FieldEvents::commitIfEdited() {
    if (edited_ && onExit_ && !inExit_)
        runExit();
}

void FieldEvents::leave() {
    if (onExit_ && !inExit_)
        runExit();
}

bool leaveField(QWidget* field) {
    for (QObject* child : field->children()) {
        if (auto* events = qobject_cast<FieldEvents*>(child)) {
            events->leave();
            return true;
        }
    }
    return false;
}

namespace {

void commitIfWatched(QWidget* field) {
    if (!field)
        return;
    // watchField makes the FieldEvents a direct child of its field.
    for (QObject* child : field->children()) {
        if (auto* events = qobject_cast<FieldEvents*>(child)) {
            events->commitIfEdited();
            return;
        }
    }
}

} // namespace

void commitFocusedField() {
    commitIfWatched(QApplication::focusWidget());
}

void commitWindowsField(const QWidget& window) {
    commitIfWatched(window.focusWidget());
}

void setTypingLimit(QLineEdit* edit, int limit) {
    edit->setProperty("typingLimit", limit);
}

int typingLimit(const QLineEdit* edit) {
    return edit->property("typingLimit").toInt();
}

namespace {

// The key as the filters see it; nothing for keys that insert no text (arrows, Delete, ...).
std::optional<Key> keyOf(const QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return Key::enter();
    case Qt::Key_Tab:
        return Key::tab();
    case Qt::Key_Backspace:
        return Key::backspace();
    default:
        break;
    }
    const QString text = event->text();
    if (text.size() != 1 || !text[0].isPrint() ||
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return std::nullopt;
    return Key::character(text[0].unicode());
}

} // namespace

std::optional<KeyFilterResult> filterEditKey(QLineEdit* edit, FieldFamily family, QKeyEvent* event,
                                             char sep) {
    const std::optional<Key> key = keyOf(event);
    if (!key)
        return std::nullopt;
    const int limit = typingLimit(edit);
    if (key->kind == Key::Kind::Character && limit > 0 && !edit->hasSelectedText() &&
        edit->text().size() >= limit) {
        KeyFilterResult full;
        full.discard = true; // the field is full
        return full;
    }
    const bool selected = edit->hasSelectedText();
    const int selStart = selected ? edit->selectionStart() : edit->cursorPosition();
    const int selLength = selected ? static_cast<int>(edit->selectedText().size()) : 0;
    KeyFilterResult r = filterKey(family, edit->text().toStdString(), selStart, selLength,
                                  edit->cursorPosition(), *key, sep);
    if (r.newText) {
        // As an edit of the field's text, not setText: the field's own undo keeps its steps.
        edit->selectAll();
        edit->insert(QString::fromStdString(*r.newText));
        if (r.newCaret)
            edit->setCursorPosition(*r.newCaret);
    }
    return r;
}

void watchField(QWidget* field, FieldEvents::KeyHandler onKey, FieldEvents::ExitHandler onExit) {
    new FieldEvents(field, std::move(onKey), std::move(onExit));
}

} // namespace ombrix
