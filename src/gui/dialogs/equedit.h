// The equation editor "Equation edit": a formula in X composed in a multi-line field with
// insert buttons (functions, digits, operators) and the keyboard, tested at X = 1 on an
// evaluator of the editor's own before it is handed to the output.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

class QPlainTextEdit;

namespace ombrix {

class TCalcExpress;

class TEquForm : public QDialog {
    Q_OBJECT
  public:
    // Most characters Memo1 holds; typing and pasting stop there, an insert button whose text
    // does not fit inserts nothing.
    static constexpr int MaxLength = 2000;

    // `decimalSeparator`: the locale's decimal separator, inserted by the "." button and used
    // by the test evaluation.
    explicit TEquForm(char decimalSeparator, QWidget* parent = nullptr);
    // As above with the system locale's separator ('.' when it is not one ASCII character).
    explicit TEquForm(QWidget* parent = nullptr);
    ~TEquForm() override;

    // Shows the dialog modally for output `output` (0..5) starting from `currentText`, the
    // lines of its equation. True when "&Evaluate" accepted the formula; equationText() then
    // holds the new lines. False when the dialog was cancelled or closed.
    bool editEquation(int output, const QString& currentText);

    // FormShow: Memo1 is cleared and loaded with `text` for output `output`.
    void FormShow(int output, const QString& text);
    // What every insert button does: `text` goes into the caret's line at the caret (the end
    // of a selection, which stays in place); the caret then stands just after it.
    void insertText(const QString& text);
    // "&Evaluate": the lines joined without separator are parsed and evaluated once at X = 1.
    // On any error "Syntax error" (caption "Error") is shown and the dialog stays open; else
    // the lines are stored, equationStored is emitted and the dialog closes. True when stored.
    bool Button29Click();
    // "&Cancel": closes the dialog; nothing is stored.
    void Button30Click();

    // The output being edited, as given to FormShow.
    int output() const { return output_; }
    // The equation's lines joined with '\n': as loaded by FormShow, then as stored by the
    // last successful Evaluate.
    const QString& equationText() const { return equation_; }
    QPlainTextEdit* memo() const { return memo_; }
    char decimalSeparator() const { return separator_; }

    // "Syntax error" goes here; a test may catch it instead of a modal box.
    using MessageHandler = std::function<void(const QString& text, const QString& caption)>;
    void setMessageHandler(MessageHandler handler) { messageHandler_ = std::move(handler); }

  signals:
    // Evaluate accepted the formula of `output`: `text` is its lines joined with '\n'.
    void equationStored(int output, const QString& text);

  private:
    void buildControls();
    void showMessage(const QString& text, const QString& caption);

    char separator_;
    std::unique_ptr<TCalcExpress> calc_; // this window's own evaluator, for the test run only
    QPlainTextEdit* memo_ = nullptr;     // Memo1
    int output_ = 0;
    QString equation_;
    MessageHandler messageHandler_;
};

} // namespace ombrix
