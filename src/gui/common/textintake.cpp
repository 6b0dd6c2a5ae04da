#include "gui/common/textintake.h"

#include "gui/common/fieldevents.h"
#include "gui/common/filedrop.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

namespace ombrix {

TextIntake::TextIntake(QLineEdit* edit, FieldFamily family, char sep, TakenHandler onTaken)
    : QObject(edit), edit_(edit), family_(family), sep_(sep), onTaken_(std::move(onTaken)) {
    edit->installEventFilter(this);
}

bool TextIntake::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && !edit_->isReadOnly()) {
        switch (event->type()) {
        case QEvent::KeyPress:
            return keyPress(event);
        case QEvent::MouseButtonRelease:
            return middleButtonRelease(event);
        case QEvent::Drop:
            return drop(event);
        case QEvent::InputMethod:
            return inputMethod(event);
        case QEvent::ContextMenu:
            return contextMenu(event);
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

bool TextIntake::keyPress(QEvent* event) {
    const auto* key = static_cast<QKeyEvent*>(event);
    // Shift+Insert is the X11 paste key whether or not the platform's key bindings list it.
    const bool shiftInsert = key->key() == Qt::Key_Insert &&
                             (key->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier;
    if (!key->matches(QKeySequence::Paste) && !shiftInsert)
        return false;
    typeIn(QGuiApplication::clipboard()->text());
    return true;
}

bool TextIntake::middleButtonRelease(QEvent* event) {
    // The press has already put the caret under the pointer, as the edit does.
    if (static_cast<QMouseEvent*>(event)->button() != Qt::MiddleButton ||
        !QGuiApplication::clipboard()->supportsSelection())
        return false;
    edit_->deselect();
    typeIn(QGuiApplication::clipboard()->text(QClipboard::Selection));
    return true;
}

bool TextIntake::drop(QEvent* event) {
    auto* drop = static_cast<QDropEvent*>(event);
    const QMimeData* data = drop->mimeData();
    // A dropped file is the window's to open (FileDrop), not text for the field.
    if (!data || !data->hasText() || !droppedLocalFile(data).isEmpty())
        return false;
    // Always a copy: the source keeps its text, as only part of it may be taken here.
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    typeOver(edit_->cursorPositionAt(drop->position().toPoint()), 0, data->text());
    return true;
}

bool TextIntake::inputMethod(QEvent* event) {
    auto* im = static_cast<QInputMethodEvent*>(event);
    if (im->commitString().isEmpty())
        return false; // composing, or removing text around the caret: the edit's own
    const int caret = edit_->cursorPosition();
    if (im->replacementLength() > 0)
        typeOver(caret + im->replacementStart(), im->replacementLength(), im->commitString());
    else
        typeIn(im->commitString());
    // What is still being composed is shown by the edit (and the finished composition cleared
    // from it); a selection the method asks for would count in the text before the commit.
    QList<QInputMethodEvent::Attribute> attributes;
    for (const QInputMethodEvent::Attribute& a : im->attributes())
        if (a.type != QInputMethodEvent::Selection)
            attributes << a;
    QInputMethodEvent rest(im->preeditString(), attributes);
    QCoreApplication::sendEvent(edit_, &rest);
    im->accept();
    return true;
}

bool TextIntake::contextMenu(QEvent* event) {
    QMenu* menu = edit_->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (QAction* action : menu->actions()) {
        // The standard menu's "Paste" is the action connected to the edit's paste(); it is
        // rerouted to type the clipboard in instead.
        const bool paste =
            QObject::disconnect(action, &QAction::triggered, edit_, &QLineEdit::paste) ||
            QObject::disconnect(action, SIGNAL(triggered()), edit_, SLOT(paste()));
        if (paste)
            connect(action, &QAction::triggered, this,
                    [this] { typeIn(QGuiApplication::clipboard()->text()); });
    }
    menu->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
    return true;
}

void TextIntake::typeIn(const QString& text) {
    if (edit_->hasSelectedText())
        typeOver(edit_->selectionStart(), static_cast<int>(edit_->selectedText().size()), text);
    else
        typeOver(edit_->cursorPosition(), 0, text);
}

void TextIntake::typeOver(int selStart, int selLength, const QString& text) {
    const TypedText typed =
        typeText(family_, edit_->text().toStdString(), selStart, selLength, selStart + selLength,
                 text.toStdU32String(), sep_, typingLimit(edit_));
    const QString result = QString::fromStdString(typed.text);
    if (result != edit_->text()) {
        // One edit of the field's text: its own undo takes the whole paste back, and
        // textEdited tells the field's watchers that the user changed it.
        edit_->selectAll();
        edit_->insert(result);
    }
    edit_->setCursorPosition(typed.caret);
    if (onTaken_)
        onTaken_(typed);
}

void filterTextIntake(QLineEdit* edit, FieldFamily family, char sep,
                      TextIntake::TakenHandler onTaken) {
    new TextIntake(edit, family, sep, std::move(onTaken));
}

} // namespace ombrix
