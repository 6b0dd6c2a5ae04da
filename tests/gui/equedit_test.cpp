// The equation editor offscreen: insert buttons at the caret, the test evaluation at X = 1,
// storing and cancelling, and the length limit of the memo.
#include "gui/dialogs/equedit.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace ombrix {
namespace {

class EquEditTest : public ::testing::Test {
  protected:
    void SetUp() override { makeForm('.'); }

    void makeForm(char separator) {
        form = std::make_unique<TEquForm>(separator);
        form->setMessageHandler([this](const QString& text, const QString& caption) {
            messages.emplace_back(text, caption);
        });
    }

    QPushButton* button(const char* name) const {
        return form->findChild<QPushButton*>(QString::fromLatin1(name));
    }

    // Puts `text` in the memo with the caret at `position`.
    void setText(const QString& text, int position) {
        form->FormShow(2, text);
        QTextCursor c = form->memo()->textCursor();
        c.setPosition(position);
        form->memo()->setTextCursor(c);
    }

    QString text() const { return form->memo()->toPlainText(); }
    int caret() const { return form->memo()->textCursor().position(); }

    std::unique_ptr<TEquForm> form;
    std::vector<std::pair<QString, QString>> messages;
};

TEST_F(EquEditTest, BuildsTheDialogWithItsCaptions) {
    EXPECT_EQ(form->windowTitle(), "Equation edit");
    auto* label = form->findChild<QLabel*>("Label1");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Y=");
    EXPECT_EQ(form->memo()->objectName(), "Memo1");
    EXPECT_EQ(form->memo()->font().pixelSize(), 16);
    ASSERT_NE(button("Button29"), nullptr);
    ASSERT_NE(button("Button30"), nullptr);
    EXPECT_EQ(button("Button29")->text(), "&Evaluate");
    EXPECT_EQ(button("Button30")->text(), "&Cancel");
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    // 21 function buttons, 20 keypad keys, Evaluate and Cancel.
    EXPECT_EQ(form->findChildren<QPushButton*>().size(), 43);

    // The layout: function rows, then keypad rows, each in its stated order left to right.
    const std::vector<std::vector<const char*>> rows = {
        {"SIN", "COS", "TG", "CTG", "ARCTG", "ARCSIN", "ARCCOS"},
        {"SINH", "COSH", "TANH", "COTH", "EXP", "LN", "LOG10"},
        {"LOG2", "SQRT", "ABS", "FLOOR", "CEIL", "TRUNC", "SIGN"},
        {"1", "2", "3", "/", "*"},
        {"4", "5", "6", "-", "+"},
        {"7", "8", "9", "(", ")"},
        {"0", ".", "X", "1/X", "^"}};
    form->adjustSize();
    const auto buttons = form->findChildren<QPushButton*>();
    auto byCaption = [&](const QString& caption) -> QPushButton* {
        for (QPushButton* b : buttons)
            if (b->text() == caption)
                return b;
        return nullptr;
    };
    int previousY = form->memo()->geometry().bottom();
    for (const auto& row : rows) {
        QPushButton* first = byCaption(row.front());
        ASSERT_NE(first, nullptr) << row.front();
        EXPECT_GT(first->y(), previousY) << row.front();
        for (size_t i = 1; i < row.size(); ++i) {
            QPushButton* b = byCaption(row[i]);
            ASSERT_NE(b, nullptr) << row[i];
            EXPECT_EQ(b->y(), first->y()) << row[i];
            EXPECT_GT(b->x(), byCaption(row[i - 1])->x()) << row[i];
        }
        previousY = first->y();
    }
    EXPECT_GT(button("Button29")->y(), previousY);
    EXPECT_EQ(button("Button30")->y(), button("Button29")->y());
    EXPECT_GT(button("Button30")->x(), button("Button29")->x());

    const QByteArray dir = qgetenv("OMBRIX_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        setText("SIN(X)+\n0.5*COS(X)", 0);
        form->grab().save(QString::fromUtf8(dir) + "/equedit.png");
    }
}

TEST_F(EquEditTest, EveryButtonInsertsItsTextAtTheCaret) {
    struct Case {
        const char* name;
        const char* caption;
        const char* inserted;
    };
    const Case cases[] = {
        {"Button1", "SIN", "SIN(X)"},
        {"Button2", "COS", "COS(X)"},
        {"Button3", "TG", "TG(X)"},
        {"Button4", "CTG", "CTG(X)"},
        {"Button5", "ARCTG", "ARCTG(X)"},
        {"Button6", "SINH", "SINH(X)"},
        {"Button7", "COSH", "COSH(X)"},
        {"Button9", "EXP", "EXP(X)"},
        {"Button10", "LN", "LN(X)"},
        {"Button11", "ARCSIN", "ARCSIN(X)"},
        {"Button12", "ARCCOS", "ARCCOS(X)"},
        {"Button13", "SQRT", "SQRT(X)"},
        {"Button14", "COTH", "COTH(X)"},
        {"Button15", "TANH", "TANH(X)"},
        {"Button16", "ABS", "ABS(X)"},
        {"Button17", "LOG10", "LOG10(X)"},
        {"Button18", "LOG2", "LOG2(X)"},
        {"Button21", "FLOOR", "FLOOR(X)"},
        {"Button22", "CEIL", "CEIL(X)"},
        {"Button23", "TRUNC", "TRUNC(X)"},
        {"Button24", "SIGN", "SIGN(X)"},
        {"Button8", "1", "1"},
        {"Button25", "2", "2"},
        {"Button26", "3", "3"},
        {"Button32", "4", "4"},
        {"Button33", "5", "5"},
        {"Button34", "6", "6"},
        {"Button40", "7", "7"},
        {"Button41", "8", "8"},
        {"Button42", "9", "9"},
        {"Button48", "0", "0"},
        {"Button49", ".", "."},
        {"Button27", "/", "/"},
        {"Button28", "*", "*"},
        {"Button35", "-", "-"},
        {"Button36", "+", "+"},
        {"Button37", "(", "("},
        {"Button38", ")", ")"},
        {"Button39", "^", "^"},
        {"Button43", "1/X", "1/X"},
        {"Button44", "X", "X"},
    };
    for (const Case& c : cases) {
        QPushButton* b = button(c.name);
        ASSERT_NE(b, nullptr) << c.name;
        EXPECT_EQ(b->text(), c.caption) << c.name;
        // Second line, between "a" and "b": the first line and the rest stay as they were.
        setText("top\nab\nend", 5);
        b->click();
        const QString inserted = QString::fromLatin1(c.inserted);
        EXPECT_EQ(text(), "top\na" + inserted + "b\nend") << c.name;
        EXPECT_EQ(caret(), 5 + inserted.size()) << c.name;
    }
    // The "1+2" case: SIN after the plus sign, the caret just after ")".
    setText("1+2", 2);
    button("Button1")->click();
    EXPECT_EQ(text(), "1+SIN(X)2");
    EXPECT_EQ(caret(), 8);
    EXPECT_TRUE(form->memo()->hasFocus() || !form->isVisible());
}

TEST_F(EquEditTest, InsertsAtTheEndOfASelectionAndIntoAnEmptyMemo) {
    setText("", 0);
    button("Button44")->click();
    EXPECT_EQ(text(), "X");
    EXPECT_EQ(caret(), 1);

    // A selection made backwards: its end is still the far end, and it is kept as text.
    setText("1+2+3", 4);
    QTextCursor c = form->memo()->textCursor();
    c.setPosition(4);
    c.setPosition(1, QTextCursor::KeepAnchor);
    form->memo()->setTextCursor(c);
    button("Button43")->click();
    EXPECT_EQ(text(), "1+2+1/X3");
    EXPECT_EQ(caret(), 7);

    // At the end of a line that is not the last one.
    setText("SIN(\nX)", 4);
    button("Button36")->click();
    EXPECT_EQ(text(), "SIN(+\nX)");
    EXPECT_EQ(caret(), 5);
}

TEST_F(EquEditTest, PointButtonInsertsTheLocaleSeparator) {
    makeForm(',');
    EXPECT_EQ(button("Button49")->text(), ".");
    setText("12", 1);
    button("Button49")->click();
    EXPECT_EQ(text(), "1,2");
    // The test evaluation reads the comma as the separator too.
    EXPECT_TRUE(form->Button29Click());
    EXPECT_TRUE(messages.empty());
    // A point is no number under a comma locale.
    setText("1.2", 0);
    EXPECT_FALSE(form->Button29Click());
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(EquEditTest, EvaluateStoresTheLinesJoinedAsOneFormula) {
    QSignalSpy stored(form.get(), &TEquForm::equationStored);
    form->FormShow(3, "X");
    form->memo()->setPlainText("SIN(\nX)");
    EXPECT_TRUE(form->Button29Click());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(form->equationText(), "SIN(\nX)"); // lines kept as lines
    EXPECT_EQ(form->result(), QDialog::Accepted);
    ASSERT_EQ(stored.count(), 1);
    EXPECT_EQ(stored.at(0).at(0).toInt(), 3); // only the output edited
    EXPECT_EQ(stored.at(0).at(1).toString(), "SIN(\nX)");

    // Joined without separator: "1\n2" is the number 12, not a syntax error, and "SIN\n(X)"
    // is a call.
    for (const char* formula : {"1\n2", "SIN\n(X)", "2*\nX+\n1"}) {
        form->FormShow(0, "");
        form->memo()->setPlainText(formula);
        EXPECT_TRUE(form->Button29Click()) << formula;
    }
    EXPECT_TRUE(messages.empty());
    // Split inside a name, the two halves are one name again; split by a space they are not.
    form->FormShow(0, "");
    form->memo()->setPlainText("S\nIN(X)");
    EXPECT_TRUE(form->Button29Click());
    form->memo()->setPlainText("S IN(X)");
    EXPECT_FALSE(form->Button29Click());
}

TEST_F(EquEditTest, RefusesWhatDoesNotParseOrFailsAtOne) {
    QSignalSpy stored(form.get(), &TEquForm::equationStored);
    const char* refused[] = {
        "ln(x-1)",  // parses, but ln(0) fails at X = 1
        "1/(x-1)",  // division by zero at X = 1
        "sqrt(-x)", // invalid operation at X = 1
        "arcsin(2*x)",
        "SIN(X", // unbalanced
        "SIN(X))",
        "Y+1",    // unknown name
        "RND(X)", // not a function: a name followed by "("
        "2X",     // no implicit multiplication
        "",       // nothing at all
        "1.",     // malformed literal
        "x^-1",
    };
    for (const char* formula : refused) {
        messages.clear();
        form->FormShow(1, "COS(X)");
        form->setResult(QDialog::Rejected);
        form->memo()->setPlainText(formula);
        EXPECT_FALSE(form->Button29Click()) << formula;
        ASSERT_EQ(messages.size(), 1u) << formula;
        EXPECT_EQ(messages[0].first, "Syntax error");
        EXPECT_EQ(messages[0].second, "Error");
        // The dialog keeps the text, stores nothing and does not close.
        EXPECT_EQ(text(), formula);
        EXPECT_EQ(form->equationText(), "COS(X)");
        EXPECT_EQ(form->result(), QDialog::Rejected) << formula;
    }
    EXPECT_EQ(stored.count(), 0);

    // Valid at X = 1 although it fails elsewhere: accepted.
    form->memo()->setPlainText("ln(x)+1/(x-2)");
    EXPECT_TRUE(form->Button29Click());
    EXPECT_EQ(stored.count(), 1);
}

TEST_F(EquEditTest, CancelStoresNothing) {
    QSignalSpy stored(form.get(), &TEquForm::equationStored);
    form->FormShow(4, "SIN(X)\n+1");
    form->memo()->setPlainText("COS(X)");
    form->Button30Click();
    EXPECT_EQ(form->result(), QDialog::Rejected);
    EXPECT_EQ(form->equationText(), "SIN(X)\n+1");
    EXPECT_EQ(stored.count(), 0);
    // Showing again starts from the stored equation: the cancelled edit is gone.
    form->FormShow(4, form->equationText());
    EXPECT_EQ(text(), "SIN(X)\n+1");
}

TEST_F(EquEditTest, EditEquationRunsModallyAndReportsTheOutcome) {
    // Evaluate pressed while the dialog runs.
    QTimer::singleShot(0, form.get(), [this] {
        form->memo()->setPlainText("X*2");
        button("Button29")->click();
    });
    EXPECT_TRUE(form->editEquation(5, "X"));
    EXPECT_EQ(form->equationText(), "X*2");
    EXPECT_EQ(form->output(), 5);

    // A refused formula keeps it open; Cancel then ends it without storing.
    QTimer::singleShot(0, form.get(), [this] {
        form->memo()->setPlainText("ln(x-1)");
        button("Button29")->click();
        EXPECT_TRUE(form->isVisible());
        button("Button30")->click();
    });
    EXPECT_FALSE(form->editEquation(5, "X*2"));
    EXPECT_EQ(form->equationText(), "X*2");
    EXPECT_EQ(messages.size(), 1u);

    // Escape is Cancel too.
    QTimer::singleShot(0, form.get(), [this] {
        form->memo()->setPlainText("COS(X)");
        QTest::keyClick(form->memo(), Qt::Key_Escape);
    });
    EXPECT_FALSE(form->editEquation(5, "X*2"));
    EXPECT_EQ(form->equationText(), "X*2");
}

TEST_F(EquEditTest, MemoHoldsAtMost2000Characters) {
    const QString full(TEquForm::MaxLength - 1, u'1');

    // Typing stops at the limit.
    setText(full, full.size());
    QTest::keyClicks(form->memo(), "23");
    EXPECT_EQ(text(), full + "2");
    QTest::keyClick(form->memo(), Qt::Key_Return);
    EXPECT_EQ(text().size(), TEquForm::MaxLength);
    // Over a selection a typed key replaces it and fits again.
    form->memo()->selectAll();
    QTest::keyClicks(form->memo(), "X");
    EXPECT_EQ(text(), "X");

    // An insert button that does not fit inserts nothing; one that just fits is inserted.
    const QString ones(TEquForm::MaxLength - 7, u'1');
    setText(ones + "+", ones.size() + 1); // room for 6 more
    button("Button11")->click();          // "ARCSIN(X)", 9 characters
    EXPECT_EQ(text(), ones + "+");
    button("Button9")->click(); // "EXP(X)", 6 characters
    EXPECT_EQ(text(), ones + "+EXP(X)");
    EXPECT_EQ(text().size(), TEquForm::MaxLength);
}

TEST_F(EquEditTest, PasteIsCutToTheRoomLeftAndEnterKeepsOneLinePerBlock) {
    const QString almost(TEquForm::MaxLength - 3, u'1');
    setText(almost, almost.size());
    QApplication::clipboard()->setText("+SIN(X)");
    form->memo()->paste();
    EXPECT_EQ(text(), almost + "+SI");

    // Line breaks of any kind become lines of the memo.
    setText("", 0);
    QApplication::clipboard()->setText("SIN(\r\nX)\r+1");
    form->memo()->paste();
    EXPECT_EQ(text(), "SIN(\nX)\n+1");
    EXPECT_EQ(form->memo()->document()->blockCount(), 3);

    // Shift+Enter starts a new line as Enter does, so the caret's line is a memo line.
    setText("SIN(X)", 4);
    QTest::keyClick(form->memo(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(form->memo()->document()->blockCount(), 2);
    button("Button44")->click();
    EXPECT_EQ(text(), "SIN(\nXX)");
}

} // namespace
} // namespace ombrix
