#include "gui/dialogs/equedit.h"

#include "core/compute/calcexpress.h"
#include "gui/common/decimalseparator.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>

#include <exception>

namespace ombrix {

namespace {

// The memo with a length limit: a typed key that does not fit is dropped, pasted or dropped
// text is cut to what fits. Shift+Enter starts a new line like Enter, so that a line of the
// memo is always one block.
class EquationMemo : public QPlainTextEdit {
  public:
    EquationMemo(int maxLength, QWidget* parent) : QPlainTextEdit(parent), max_(maxLength) {}

  protected:
    void keyPressEvent(QKeyEvent* e) override {
        const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
        const bool printable = !e->text().isEmpty() && e->text().at(0).isPrint();
        if (enter || printable) {
            if ((enter ? 1 : e->text().size()) > room()) {
                e->accept();
                return;
            }
        }
        if (enter && (e->modifiers() & Qt::ShiftModifier)) {
            QKeyEvent plain(e->type(), e->key(), e->modifiers() & ~Qt::ShiftModifier, e->text(),
                            e->isAutoRepeat(), static_cast<quint16>(e->count()));
            QPlainTextEdit::keyPressEvent(&plain);
            return;
        }
        QPlainTextEdit::keyPressEvent(e);
    }

    void insertFromMimeData(const QMimeData* source) override {
        if (!source || !source->hasText())
            return;
        QString text = source->text();
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        for (QChar& c : text)
            if (c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
                c = u'\n';
        text.truncate(std::max(0, room()));
        if (text.isEmpty())
            return;
        textCursor().insertText(text);
        ensureCursorVisible();
    }

    void inputMethodEvent(QInputMethodEvent* e) override {
        const int fits = std::max(0, room());
        if (e->commitString().size() > fits) {
            QInputMethodEvent cut(e->preeditString(), e->attributes());
            cut.setCommitString(e->commitString().left(fits), e->replacementStart(),
                                e->replacementLength());
            QPlainTextEdit::inputMethodEvent(&cut);
            return;
        }
        QPlainTextEdit::inputMethodEvent(e);
    }

  private:
    // Characters that may still be added, the selection (which typing replaces) counted free.
    int room() const {
        const QTextCursor c = textCursor();
        const int selected = c.selectionEnd() - c.selectionStart();
        return max_ - (toPlainText().size() - selected);
    }

    int max_;
};

struct InsertButton {
    const char* name;
    const char* caption;
    const char* text; // nullptr: the decimal separator
    int row;
    int column;
};

// The three rows of seven function buttons.
constexpr InsertButton kFunctionButtons[] = {
    {"Button1", "SIN", "SIN(X)", 0, 0},        {"Button2", "COS", "COS(X)", 0, 1},
    {"Button3", "TG", "TG(X)", 0, 2},          {"Button4", "CTG", "CTG(X)", 0, 3},
    {"Button5", "ARCTG", "ARCTG(X)", 0, 4},    {"Button11", "ARCSIN", "ARCSIN(X)", 0, 5},
    {"Button12", "ARCCOS", "ARCCOS(X)", 0, 6}, {"Button6", "SINH", "SINH(X)", 1, 0},
    {"Button7", "COSH", "COSH(X)", 1, 1},      {"Button15", "TANH", "TANH(X)", 1, 2},
    {"Button14", "COTH", "COTH(X)", 1, 3},     {"Button9", "EXP", "EXP(X)", 1, 4},
    {"Button10", "LN", "LN(X)", 1, 5},         {"Button17", "LOG10", "LOG10(X)", 1, 6},
    {"Button18", "LOG2", "LOG2(X)", 2, 0},     {"Button13", "SQRT", "SQRT(X)", 2, 1},
    {"Button16", "ABS", "ABS(X)", 2, 2},       {"Button21", "FLOOR", "FLOOR(X)", 2, 3},
    {"Button22", "CEIL", "CEIL(X)", 2, 4},     {"Button23", "TRUNC", "TRUNC(X)", 2, 5},
    {"Button24", "SIGN", "SIGN(X)", 2, 6},
};

// The keypad, four rows of five.
constexpr InsertButton kKeypadButtons[] = {
    {"Button8", "1", "1", 0, 0},      {"Button25", "2", "2", 0, 1},
    {"Button26", "3", "3", 0, 2},     {"Button27", "/", "/", 0, 3},
    {"Button28", "*", "*", 0, 4},     {"Button32", "4", "4", 1, 0},
    {"Button33", "5", "5", 1, 1},     {"Button34", "6", "6", 1, 2},
    {"Button35", "-", "-", 1, 3},     {"Button36", "+", "+", 1, 4},
    {"Button40", "7", "7", 2, 0},     {"Button41", "8", "8", 2, 1},
    {"Button42", "9", "9", 2, 2},     {"Button37", "(", "(", 2, 3},
    {"Button38", ")", ")", 2, 4},     {"Button48", "0", "0", 3, 0},
    {"Button49", ".", nullptr, 3, 1}, {"Button44", "X", "X", 3, 2},
    {"Button43", "1/X", "1/X", 3, 3}, {"Button39", "^", "^", 3, 4},
};

} // namespace

TEquForm::TEquForm(char decimalSeparator, QWidget* parent)
    : QDialog(parent), separator_(decimalSeparator),
      calc_(std::make_unique<TCalcExpress>(decimalSeparator)) {
    setWindowTitle("Equation edit");
    // Fixed dialog border: title with system menu and minimise, no resizing.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    buildControls();
}

TEquForm::TEquForm(QWidget* parent) : TEquForm(systemDecimalSeparator(), parent) {}

TEquForm::~TEquForm() = default;

void TEquForm::buildControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto* top = new QHBoxLayout;
    auto* label = new QLabel("Y=", this);
    label->setObjectName("Label1");
    QFont big = label->font();
    big.setPixelSize(16);
    label->setFont(big);
    top->addWidget(label, 0, Qt::AlignTop);
    memo_ = new EquationMemo(MaxLength, this);
    memo_->setObjectName("Memo1");
    memo_->setFont(big);
    memo_->setTabChangesFocus(true);
    memo_->setFixedHeight(120);
    top->addWidget(memo_, 1);
    layout->addLayout(top);

    auto addButtons = [this](QGridLayout* grid, const auto& table, int width) {
        for (const InsertButton& b : table) {
            auto* button = new QPushButton(b.caption, this);
            button->setObjectName(b.name);
            button->setFixedSize(width, 25);
            button->setAutoDefault(false);
            const QString text = b.text ? QString::fromLatin1(b.text) : QString(QChar(separator_));
            connect(button, &QPushButton::clicked, this, [this, text] { insertText(text); });
            grid->addWidget(button, b.row, b.column);
        }
    };

    auto* functions = new QGridLayout;
    functions->setSpacing(4);
    addButtons(functions, kFunctionButtons, 72);
    layout->addLayout(functions);

    auto* keypadRow = new QHBoxLayout;
    auto* keypad = new QGridLayout;
    keypad->setSpacing(4);
    addButtons(keypad, kKeypadButtons, 48);
    keypadRow->addStretch(1);
    keypadRow->addLayout(keypad);
    keypadRow->addStretch(1);
    layout->addSpacing(6);
    layout->addLayout(keypadRow);

    auto* actions = new QHBoxLayout;
    auto* evaluate = new QPushButton("&Evaluate", this);
    evaluate->setObjectName("Button29");
    auto* cancel = new QPushButton("&Cancel", this);
    cancel->setObjectName("Button30");
    for (QPushButton* b : {evaluate, cancel}) {
        b->setFixedSize(90, 27);
        b->setAutoDefault(false);
    }
    connect(evaluate, &QPushButton::clicked, this, [this] { Button29Click(); });
    connect(cancel, &QPushButton::clicked, this, &TEquForm::Button30Click);
    actions->addStretch(1);
    actions->addWidget(evaluate);
    actions->addSpacing(16);
    actions->addWidget(cancel);
    actions->addStretch(1);
    layout->addSpacing(6);
    layout->addLayout(actions);
}

bool TEquForm::editEquation(int output, const QString& currentText) {
    FormShow(output, currentText);
    memo_->setFocus();
    return exec() == QDialog::Accepted;
}

void TEquForm::FormShow(int output, const QString& text) {
    output_ = output;
    equation_ = text;
    memo_->clear();
    memo_->setPlainText(text);
    memo_->moveCursor(QTextCursor::Start);
}

void TEquForm::insertText(const QString& text) {
    if (memo_->toPlainText().size() + text.size() > MaxLength) {
        memo_->setFocus();
        return;
    }
    QTextCursor cursor = memo_->textCursor();
    const QTextBlock line = memo_->document()->findBlock(cursor.selectionEnd());
    const int column = cursor.selectionEnd() - line.position();
    QString lineText = line.text();
    lineText.insert(column, text);

    // The line is written back as a whole; one undo step.
    cursor.beginEditBlock();
    cursor.setPosition(line.position());
    cursor.setPosition(line.position() + line.length() - 1, QTextCursor::KeepAnchor);
    cursor.insertText(lineText);
    cursor.endEditBlock();
    cursor.setPosition(line.position() + column + static_cast<int>(text.size()));
    memo_->setTextCursor(cursor);
    memo_->setFocus();
}

bool TEquForm::Button29Click() {
    const QString lines = memo_->toPlainText();
    QString joined = lines;
    joined.remove(u'\n');
    try {
        calc_->Variables() = {"X"};
        calc_->init(joined.toStdString());
        const long double x = 1.0L;
        calc_->calc(&x, 0);
    } catch (const std::exception&) {
        showMessage("Syntax error", "Error");
        return false;
    }
    equation_ = lines;
    emit equationStored(output_, equation_);
    accept();
    return true;
}

void TEquForm::Button30Click() {
    reject();
}

void TEquForm::showMessage(const QString& text, const QString& caption) {
    if (messageHandler_)
        messageHandler_(text, caption);
    else
        QMessageBox::critical(this, caption, text, QMessageBox::Ok);
}

} // namespace ombrix
