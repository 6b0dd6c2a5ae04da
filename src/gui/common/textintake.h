// Text that reaches an edit other than by single key presses — paste (Ctrl+V, Shift+Insert,
// the context menu's "Paste"), the middle button's selection paste, a dropped text and an
// input method's commit — is typed into the edit through its family's key filter, character
// by character within its typing limit (core/model/keyfilters.h, typeText): a character the
// filter discards is dropped exactly as a typed one would be. The result goes into the edit as
// one edit of its text, so the edit's own undo takes it back in one step and textEdited tells
// the field's watchers that the user changed it.
#pragma once

#include "core/model/keyfilters.h"

#include <QObject>
#include <QString>

#include <functional>

class QLineEdit;

namespace ombrix {

class TextIntake : public QObject {
    Q_OBJECT
  public:
    // Called after text was typed in, with what typeText made of it (its markModified is the
    // caller's to apply).
    using TakenHandler = std::function<void(const TypedText&)>;

    TextIntake(QLineEdit* edit, FieldFamily family, char sep, TakenHandler onTaken);

    // Types `text` into the edit at its caret, over its selection, as a paste does.
    void typeIn(const QString& text);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool keyPress(QEvent* event);
    bool middleButtonRelease(QEvent* event);
    bool drop(QEvent* event);
    bool inputMethod(QEvent* event);
    bool contextMenu(QEvent* event);
    // Types `text` into the edit as if `selStart`/`selLength` were selected (no selection:
    // length 0 at the caret `selStart`).
    void typeOver(int selStart, int selLength, const QString& text);

    QLineEdit* edit_;
    FieldFamily family_;
    char sep_;
    TakenHandler onTaken_;
};

// Installs a TextIntake on the edit (owned by the edit).
void filterTextIntake(QLineEdit* edit, FieldFamily family, char sep,
                      TextIntake::TakenHandler onTaken = {});

} // namespace ombrix
