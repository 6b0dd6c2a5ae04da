// Hooks a control's key presses and its focus loss to plain handler functions.
//
// Leaving a field is a focus change to another control of the program: opening a menu,
// a message box or another window is not leaving it. A handler that itself shows a message
// box is not entered again while it runs.
#pragma once

#include "core/model/keyfilters.h"

#include <QObject>

#include <functional>
#include <optional>

class QKeyEvent;
class QLineEdit;

namespace ombrix {

class FieldEvents : public QObject {
    Q_OBJECT
  public:
    // Returns true when the key must be discarded.
    using KeyHandler = std::function<bool(QKeyEvent*)>;
    using ExitHandler = std::function<void()>;

    FieldEvents(QWidget* field, KeyHandler onKey, ExitHandler onExit);

    // Runs the exit handler when the field was changed by the user (typed into, pasted into,
    // text dropped on it, ...) since it last ran: what a tool button or menu command is about
    // to use must be what the field shows.
    void commitIfEdited();
    // Runs the exit handler as if the focus had left the field (a remote command that wrote
    // the field's text).
    void leave();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    KeyHandler onKey_;
    ExitHandler onExit_;
    bool inExit_ = false;
    bool edited_ = false;
    void runExit();
    void changedByUser(QWidget* field);
};

// Commits the field that holds the keyboard focus, if it is a watched field changed since its
// exit handler last ran. Called before a tool button, menu or shortcut acts, as these do
// not take the focus (so the field is not left) but do use the forms.
void commitFocusedField();
// Commits the field that has the focus within `window` (the one it gets back when activated),
// if it is a watched field changed since its exit handler last ran; also while another
// program's window is active. Called before a remote command uses the forms.
void commitWindowsField(const QWidget& window);

// Runs the exit handler of a watched field as if the focus had left it; false when the field
// is not watched or has no exit handler.
bool leaveField(QWidget* field);

// How many characters a user may type into an edit. Unlike QLineEdit::setMaxLength this does
// not cut texts that the rules write, which may be longer (a clamped value with 15 digits).
void setTypingLimit(QLineEdit* edit, int limit);
// The limit set for the edit, or 0 for none.
int typingLimit(const QLineEdit* edit);

// Runs the family's key filter for a key typed into `edit` and applies what concerns the edit
// alone: the typing limit and a rewritten text with its caret. The caller applies the rest
// (modified mark, cell repair, discard, focus). Nothing for keys that insert no text.
std::optional<KeyFilterResult> filterEditKey(QLineEdit* edit, FieldFamily family, QKeyEvent* event,
                                             char sep);

// Installs FieldEvents on the field (owned by the field).
void watchField(QWidget* field, FieldEvents::KeyHandler onKey, FieldEvents::ExitHandler onExit);

} // namespace ombrix
