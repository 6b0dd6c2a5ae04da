// Typing into the main window's real edits: key filters and exit rules as a user meets them.
#include "app/ombrix.h"
#include "calcrequests.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace ombrix {
namespace {

class FieldRulesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        w = std::make_unique<TOmbrix>();
        w->setMessageHandler([this](const QString& text, const QString&) {
            messages.push_back(text.toStdString());
        });
        w->show();
        QApplication::setActiveWindow(w.get());
        w->calculation().finishCalculation();
    }
    void TearDown() override { w->calculation().finishCalculation(); }

    // Focuses the edit, replaces its text by typing, and leaves it for `next`.
    void type(QLineEdit* edit, const char* keys, QWidget* next = nullptr) {
        edit->setFocus(Qt::TabFocusReason);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, keys);
        if (next)
            leave(next);
    }
    void leave(QWidget* next) {
        next->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }
    QLineEdit* other() { return w->general().Ph_Disp[5]; }

    std::unique_ptr<TOmbrix> w;
    std::vector<std::string> messages;
};

TEST_F(FieldRulesTest, FrequencyLeadingZeroAndEnterDefault) {
    QLineEdit* freq = w->general().Freq;
    type(freq, "05");
    EXPECT_EQ(freq->text(), "5");
    type(freq, "0");
    QTest::keyClick(freq, Qt::Key_Period);
    QTest::keyClick(freq, Qt::Key_Comma);
    const QString sep(QChar(w->decimalSeparator()));
    EXPECT_EQ(freq->text(), "0" + sep);
    type(freq, "");
    QTest::keyClick(freq, Qt::Key_Return);
    EXPECT_EQ(freq->text(), "1");
    EXPECT_FALSE(freq->hasFocus()); // Enter moves on
    type(freq, "12a-b3");
    EXPECT_EQ(freq->text(), "123");
    type(freq, "123456789");
    EXPECT_EQ(freq->text(), "12345678"); // eight characters may be typed
    EXPECT_TRUE(w->document().isModified());
}

TEST_F(FieldRulesTest, FrequencyIsClampedToMaxFrequencyOnExit) {
    // 20 MHz quartz, 29 instructions, 1000 samples: 2*20e6/(1000*30) - 1 -> 1332 Hz.
    EXPECT_EQ(w->binding().MaxFrequency(), 1332.0L);
    type(w->general().Freq, "5000", other());
    EXPECT_EQ(w->general().Freq->text(), "1332");
    type(w->general().Freq, "", other());
    EXPECT_EQ(w->general().Freq->text(), "1");
}

TEST_F(FieldRulesTest, SampleCountIsRepairedAndLimitedOnExit) {
    QLineEdit* n = w->general().NumOfSam;
    type(n, "", other());
    EXPECT_EQ(n->text(), "1000");
    type(n, "3", other());
    EXPECT_EQ(n->text(), "8");
    w->general().activeBox[1]->click(); // 4096 at most
    type(n, "9000", other());
    EXPECT_EQ(n->text(), "4096");
    testkit::CalcRequests requests(w->calculation());
    type(n, "0");
    QTest::keyClick(n, Qt::Key_Return);
    EXPECT_EQ(n->text(), "8"); // Enter writes "0", leaving it then gives the minimum
    EXPECT_FALSE(requests.list.empty());
    // A smaller count raises the frequency limit.
    EXPECT_GT(w->binding().MaxFrequency(), 100000.0L);
}

// Typing a count passes through smaller and larger counts ("9", "99", ...): the frequencies
// end clamped against the committed count only, never lower than it requires.
TEST_F(FieldRulesTest, FrequenciesAreClampedAgainstTheCommittedSampleCount) {
    struct Case {
        const char* typed;
        const char* committed;
    };
    for (const Case& c : {Case{"99999", "2730"}, Case{"2000", "2000"}, Case{"9999", "2730"}}) {
        SCOPED_TRACE(c.typed);
        SetUp();
        GeneralPage& g = w->general();
        for (int k : {1, 2}) // three outputs: 2730 samples at most
            g.activeBox[k]->click();
        type(g.Freq, "1000", other());
        type(g.NumOfSam, c.typed, other());
        EXPECT_EQ(g.NumOfSam->text(), c.committed);
        // 487 Hz for 2730 samples, 665 Hz for 2000 (not the 12 Hz of 99999 samples).
        const long double limit = w->binding().MaxFrequency();
        const long double value = g.Freq->text().toDouble();
        EXPECT_LE(value, limit);
        EXPECT_GT(value, limit - 1);
    }
}

TEST_F(FieldRulesTest, PhaseShiftRangeAndCopyIntoTheFundamental) {
    testkit::CalcRequests requests(w->calculation());
    QLineEdit* ph = w->general().Ph_Disp[2];
    type(ph, "365");
    EXPECT_EQ(ph->text(), "36");
    type(ph, "-3605");
    EXPECT_EQ(ph->text(), "-360");
    type(ph, "45", other());
    EXPECT_EQ(w->document().forms().Outputs[2].Harmonics[0].Phase, "45");
    EXPECT_EQ(requests.list.back(), std::make_pair(2, 2));
}

TEST_F(FieldRulesTest, PulseRepairOnExit) {
    OutputPage& o = w->output(1);
    w->pages()->setCurrentIndex(2);
    o.formItems[1]->click();
    type(o.pulse[2], "60");
    type(o.pulse[3], "10");
    type(o.pulse[4], "50", o.pulse[5]);
    type(o.pulse[5], "0", o.offset);
    EXPECT_EQ(o.pulse[2]->text(), "60");
    EXPECT_EQ(o.pulse[3]->text(), "10");
    EXPECT_EQ(o.pulse[4]->text(), "30");
    EXPECT_EQ(o.pulse[5]->text(), "0");
}

TEST_F(FieldRulesTest, HarmonicAndOffsetMinusRules) {
    OutputPage& o = w->output(0);
    w->pages()->setCurrentIndex(1);
    type(o.amplitude[4], "2-");
    EXPECT_EQ(o.amplitude[4]->text(), "2");
    o.amplitude[4]->selectAll();
    QTest::keyClicks(o.amplitude[4], "-1");
    EXPECT_EQ(o.amplitude[4]->text(), "-1");
    type(o.offset, "1");
    o.offset->setCursorPosition(0);
    QTest::keyClicks(o.offset, "--");
    EXPECT_EQ(o.offset->text(), "-1");
    type(o.amplitude[6], "-", o.offset);
    EXPECT_EQ(o.amplitude[6]->text(), "0"); // a lone "-" is repaired on exit
}

// A field left by clicking another page's tab is committed to the output it belongs to, not to
// the page shown by then: its empty cells are repaired and that output is recalculated.
TEST_F(FieldRulesTest, LeavingByATabClickCommitsToTheFieldsOwnOutput) {
    struct Case {
        const char* name;
        int target; // page index clicked (0 = "General", k = Output k)
        bool pulse;
    };
    for (const Case& c :
         {Case{"harmonic, to General", 0, false}, Case{"harmonic, to Output 4", 4, false},
          Case{"pulse, to General", 0, true}, Case{"pulse, to Output 5", 5, true}}) {
        SCOPED_TRACE(c.name);
        SetUp();
        OutputPage& o = w->output(1);
        w->pages()->setCurrentIndex(2);
        if (c.pulse)
            o.formItems[1]->click();
        w->calculation().finishCalculation();
        testkit::CalcRequests requests(w->calculation());
        QLineEdit* edit = c.pulse ? o.pulse[0] : o.amplitude[0];
        QLineEdit* emptied = c.pulse ? o.pulse[3] : o.phase[2];
        type(emptied, "");
        type(edit, "3");
        QTabBar* tabs = w->pages()->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(c.target).center());
        QCoreApplication::processEvents();
        EXPECT_EQ(w->pages()->currentIndex(), c.target);
        EXPECT_EQ(emptied->text(), "0");
        ASSERT_FALSE(requests.list.empty());
        EXPECT_EQ(requests.list.back(), std::make_pair(1, 1));
        const OutputForm& f = w->document().forms().Outputs[1];
        EXPECT_EQ(c.pulse ? f.Pulse[0] : f.Harmonics[0].Amplitude, "3");
    }
}

TEST_F(FieldRulesTest, CopySourceIsChosenFromItsListOnly) {
    w->pages()->setCurrentIndex(2);
    QComboBox* combo = w->output(1).copySource; // "Output 1", "Output 3", ...
    combo->setFocus(Qt::TabFocusReason);
    struct Case {
        Qt::Key key;
        const char* text;
        int index; // the item chosen afterwards
    };
    const Case cases[] = {
        {Qt::Key_O, "O", -1},         {Qt::Key_3, "3", -1},       {Qt::Key_Space, " ", -1},
        {Qt::Key_Delete, "\x7f", -1}, {Qt::Key_Right, "", -1},    {Qt::Key_Down, "", 0},
        {Qt::Key_Down, "", 1},        {Qt::Key_Left, "", 1},      {Qt::Key_Up, "", 0},
        {Qt::Key_Backspace, "\b", 0}, {Qt::Key_Delete, "\x7f", 0}};
    for (const Case& c : cases) {
        QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier, QString::fromLatin1(c.text));
        QApplication::sendEvent(combo, &press);
        EXPECT_EQ(combo->currentIndex(), c.index) << c.key;
        EXPECT_FALSE(combo->view()->isVisible()) << c.key;
        ASSERT_TRUE(combo->hasFocus()) << c.key;
    }
    QTest::keyClick(combo, Qt::Key_Tab);
    EXPECT_FALSE(combo->hasFocus()); // Tab leaves
    combo->setFocus(Qt::TabFocusReason);
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_FALSE(combo->hasFocus()); // so does Enter
    EXPECT_EQ(combo->currentText(), "Output 1");
}

TEST_F(FieldRulesTest, EnterOnAHarmonicEnableBoxMovesOn) {
    w->pages()->setCurrentIndex(1);
    QCheckBox* en = w->output(0).en[4];
    en->setFocus(Qt::TabFocusReason);
    QTest::keyClick(en, Qt::Key_Space);
    QTest::keyClick(en, Qt::Key_Return);
    EXPECT_FALSE(en->hasFocus());
    EXPECT_TRUE(en->isChecked());
}

TEST_F(FieldRulesTest, StepTimeFollowsTheStepOnExit) {
    GeneralPage& g = w->general();
    g.SwapEnabled->click();
    g.StepComboBox->setCurrentText("3");
    type(g.Time, "100", other());
    const QString sep(QChar(w->decimalSeparator()));
    EXPECT_EQ(g.Time->text(), "333" + sep + "333333333333");
    type(g.Time, "5.", other()); // the step-time field takes no separator
    EXPECT_EQ(g.Time->text(), "333" + sep + "333333333333");
}

// A step chosen from the list with the keyboard is left at once: the step time follows it
// before any action could send the sweep.
TEST_F(FieldRulesTest, AStepChosenFromTheListRaisesTheStepTime) {
    GeneralPage& g = w->general();
    g.SwapEnabled->click();
    type(g.StepComboBox->lineEdit(), "250", other());
    type(g.Time, "100", other());
    ASSERT_EQ(g.Time->text(), "100");
    g.StepComboBox->setFocus(Qt::TabFocusReason);
    while (g.StepComboBox->currentIndex() != 0)
        QTest::keyClick(g.StepComboBox, Qt::Key_Up);
    EXPECT_EQ(g.StepComboBox->currentText(), "1");
    EXPECT_EQ(g.Time->text(), "1000");
}

TEST_F(FieldRulesTest, SweepOnRaisesTheStepTime) {
    GeneralPage& g = w->general();
    g.StepComboBox->setCurrentText("10");
    g.Time->setText("50");
    g.SwapEnabled->click();
    EXPECT_EQ(g.Time->text(), "100");
}

} // namespace
} // namespace ombrix
