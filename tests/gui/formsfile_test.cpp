// New, Open, Save and Save as in the main window, with the dialogs answered by the test.
#include "app/ombrix.h"
#include "calcrequests.h"
#include "core/model/settingsfile.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>

#include <QApplication>
#include <QTest>
#include <QToolButton>
#include <cstring>
#include <gtest/gtest.h>

#include <memory>

namespace ombrix {
namespace {

class FormsFileTest : public ::testing::Test {
  protected:
    std::unique_ptr<TOmbrix> makeWindow() {
        auto w = std::make_unique<TOmbrix>();
        w->setMessageHandler([this](const QString& text, const QString& caption) {
            messages.push_back((caption + ": " + text).toStdString());
        });
        TOmbrix::Prompts p;
        p.askYesNo = [this](const QString& text, const QString&) {
            questions.push_back(text.toStdString());
            return answerYes;
        };
        p.openFileName = [this] { return openName; };
        p.saveFileName = [this] {
            ++saveDialogs;
            return saveName;
        };
        w->setPrompts(p);
        w->calculation().finishCalculation();
        return w;
    }
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        w = makeWindow();
    }
    void TearDown() override { w->calculation().finishCalculation(); }
    QString path(const char* name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    std::unique_ptr<TOmbrix> w;
    std::vector<std::string> messages, questions;
    bool answerYes = false;
    QString openName, saveName;
    int saveDialogs = 0;
};

TEST_F(FormsFileTest, SaveAsWritesTheImageAndEnablesSaveForms) {
    EXPECT_FALSE(w->actions().save->isEnabled());
    saveName = path("a.set");
    w->actions().saveAs->trigger();
    EXPECT_TRUE(w->actions().save->isEnabled());
    EXPECT_EQ(w->document().currentFileName(), saveName);
    QFile file(saveName);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 13920);
    EXPECT_EQ(bytes.left(5), QByteArray("1000", 5));
}

TEST_F(FormsFileTest, SavedFormsReopenInAnotherWindowWithTheSameSamples) {
    OutputPage& o = w->output(1);
    w->general().activeBox[1]->click();
    w->general().activeBox[2]->click();
    o.formItems[1]->click();
    o.pulse[0]->setText("3");
    w->output(2).formItems[2]->click();
    w->output(2).equation->setPlainText("sin(x)+\ncos(2*x)");
    w->output(0).amplitude[0]->setText("1");
    w->output(0).en[0]->click();
    w->general().Ph_Disp[1]->setText("45");
    w->calculation().CalculateForms(0, 5);
    w->calculation().finishCalculation();
    saveName = path("b.set");
    w->document().SaveAs();

    auto other = makeWindow();
    openName = saveName;
    other->document().Open();
    other->calculation().finishCalculation();
    EXPECT_TRUE(messages.empty());
    FormsConfig expected = w->document().forms();
    expected.Outputs[2].Equation = "sin(x)+cos(2*x)"; // the lines come back as one
    EXPECT_EQ(other->document().forms(), expected);
    EXPECT_EQ(other->document().ActiveCount(), 3);
    EXPECT_EQ(other->document().MaxSamples(), 2730);
    EXPECT_TRUE(other->output(1).pulsePanel->isEnabled());
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(other->calculation().samples(k), w->calculation().samples(k)) << k;
}

// A text the rules complain about but leave in its field (a lone separator in a sweep
// frequency) is saved as shown, and the file opens again with it: Save never writes a file
// that Open refuses.
TEST_F(FormsFileTest, ATextLeftWithAnErrorIsSavedAndOpensAgain) {
    GeneralPage& g = w->general();
    g.SwapEnabled->click();
    w->show();
    QApplication::setActiveWindow(w.get());
    g.StartFreq->setFocus(Qt::MouseFocusReason);
    g.StartFreq->selectAll();
    QTest::keyClicks(g.StartFreq, ".");
    QTest::keyClick(g.StartFreq, Qt::Key_Tab);
    ASSERT_EQ(g.StartFreq->text(), ".");
    ASSERT_FALSE(messages.empty()); // the rule said it is not a number
    messages.clear();
    saveName = path("dot.set");
    w->document().SaveAs();

    auto other = makeWindow();
    openName = saveName;
    other->document().Open();
    EXPECT_EQ(messages, std::vector<std::string>{});
    EXPECT_EQ(other->general().StartFreq->text(), ".");
}

TEST_F(FormsFileTest, MalformedFileIsRefusedAndTheFormsStay) {
    QFile file(path("bad.set"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(100, 'x'));
    file.close();
    w->output(0).offset->setText("2");
    const FormsConfig before = w->document().forms();
    openName = path("bad.set");
    w->document().Open();
    EXPECT_EQ(w->document().forms(), before);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("bad.set"), std::string::npos);
    EXPECT_EQ(messages[0].rfind("Error: ", 0), 0u);

    openName = path("missing.set");
    w->document().Open();
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(w->document().forms(), before);
}

// A refused file never becomes the current one, so the tool bar's Save cannot overwrite it:
// without a current file it asks for a name, with one it writes that one.
TEST_F(FormsFileTest, RefusedOpenKeepsThePreviousFileName) {
    QFile bad(path("bad.set"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(18, 'x'));
    bad.close();
    for (const bool hadFile : {false, true}) {
        SCOPED_TRACE(hadFile);
        w = makeWindow();
        saveDialogs = 0;
        saveName = path("good.set");
        if (hadFile)
            w->document().SaveAs();
        const QString previous = w->document().currentFileName();
        const int dialogsBefore = saveDialogs;
        openName = path("bad.set");
        w->document().Open();
        EXPECT_EQ(w->document().currentFileName(), previous);
        EXPECT_EQ(w->actions().save->isEnabled(), hadFile);
        saveName = QString(); // a Save dialog, if shown, is cancelled
        w->actions().saveButton->click();
        EXPECT_EQ(QFile(path("bad.set")).size(), 18);
        EXPECT_EQ(saveDialogs, dialogsBefore + (hadFile ? 0 : 1));
    }
}

// Save never changes a value silently: a text that cannot keep its value in its field refuses
// the save with the field's name; a rule's long number is rounded in the window as in the file.
TEST_F(FormsFileTest, TextsThatDoNotFitRefuseTheSaveOrAreRoundedVisibly) {
    w->output(1).amplitude[0]->setText("100000");
    saveName = path("long.set");
    w->document().SaveAs();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("Amplitude of harmonic 1 of Output 2"), std::string::npos);
    EXPECT_FALSE(QFile::exists(saveName));

    w->output(1).amplitude[0]->setText("1");
    w->general().Time->setText("333.333333333333");
    w->document().SaveAs();
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(w->general().Time->text(), "333.333");
    auto other = makeWindow();
    openName = saveName;
    other->document().Open();
    other->calculation().finishCalculation();
    w->calculation().finishCalculation();
    EXPECT_EQ(other->document().forms(), w->document().forms());
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(other->calculation().samples(k), w->calculation().samples(k)) << k;
}

TEST_F(FormsFileTest, FailedSaveIsReported) {
    saveName = path("no/such/folder/c.set");
    w->document().SaveAs();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("Error: ", 0), 0u);
}

TEST_F(FormsFileTest, CancelledOpenStillMarksModifiedSoNewAsks) {
    EXPECT_FALSE(w->document().isModified());
    w->document().Open(); // cancelled: openName is empty
    EXPECT_TRUE(w->document().isModified());
    w->actions().newButton->click();
    EXPECT_EQ(questions, std::vector<std::string>{"Would you like to save this forms?"});
    EXPECT_FALSE(w->document().isModified());
}

TEST_F(FormsFileTest, NewAfterSaveStillAsksAndYesWithoutNameShowsTheSaveDialog) {
    saveName = path("d.set");
    w->document().SaveAs();
    w->document().NewSample();
    EXPECT_EQ(questions.size(), 1u); // Save as marked the forms modified

    auto fresh = makeWindow();
    fresh->pages()->setCurrentIndex(2); // a page switch marks the forms modified
    answerYes = true;
    saveName = path("e.set");
    saveDialogs = 0;
    fresh->document().NewSample();
    EXPECT_EQ(saveDialogs, 1);
    EXPECT_TRUE(QFile::exists(saveName));
    EXPECT_EQ(fresh->document().currentFileName(), saveName);
}

TEST_F(FormsFileTest, NewResetsToTheNewValues) {
    w->general().activeBox[3]->click();
    w->general().SwapEnabled->click();
    w->output(4).formItems[1]->click();
    w->output(4).offset->setText("1");
    testkit::CalcRequests requests(w->calculation());
    w->actions().newForms->trigger();
    EXPECT_FALSE(w->actions().save->isEnabled());
    EXPECT_EQ(w->document().forms().Outputs, newForms().Outputs);
    EXPECT_EQ(w->document().forms().General.StartFreq, "0");
    EXPECT_EQ(w->document().ActiveCount(), 1);
    EXPECT_TRUE(w->general().Freq->isEnabled());
    EXPECT_FALSE(w->general().StartFreq->isEnabled());
    EXPECT_EQ(w->output(4).pulse[5]->text(), "0");
    EXPECT_EQ(requests.list.back(), std::make_pair(0, 5));
    // Resetting a changed offset and unticking boxes marks the forms modified again.
    EXPECT_TRUE(w->document().isModified());
}

TEST_F(FormsFileTest, ExportWritesTheActiveOutputsAsCsvAndWav) {
    w->general().activeBox[2]->click();
    w->output(0).amplitude[0]->setText("1");
    w->output(0).en[0]->click();
    w->output(2).formItems[1]->click();
    w->calculation().finishCalculation();
    const QString csvName = path("s.csv");
    ASSERT_TRUE(w->document().ExportSamples(csvName));
    QFile csv(csvName);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    EXPECT_EQ(lines[0], "Output 1 [V],Output 3 [V]");
    ASSERT_GE(lines.size(), 1001);
    for (int n : {0, 250, 999}) {
        const QList<QByteArray> fields = lines[n + 1].split(',');
        ASSERT_EQ(fields.size(), 2);
        EXPECT_EQ(fields[0].toDouble(), w->calculation().samples(0)[n]) << n;
        EXPECT_EQ(fields[1].toDouble(), w->calculation().samples(2)[n]) << n;
    }

    const QString wavName = path("s.wav");
    ASSERT_TRUE(w->document().ExportSamples(wavName));
    QFile wav(wavName);
    ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
    const QByteArray bytes = wav.readAll();
    EXPECT_EQ(bytes.left(4), "RIFF");
    quint32 rate = 0;
    std::memcpy(&rate, bytes.constData() + 24, 4);
    EXPECT_EQ(rate, 1000u * 1000u); // N x F
    quint16 channels = 0;
    std::memcpy(&channels, bytes.constData() + 22, 2);
    EXPECT_EQ(channels, 2);
    EXPECT_TRUE(messages.empty());

    // An output whose calculation failed holds no samples: refused with a message.
    w->output(0).formItems[2]->click(); // an empty equation does not parse
    w->calculation().finishCalculation();
    const QString badName = path("bad.csv");
    EXPECT_FALSE(w->document().ExportSamples(badName));
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_FALSE(QFile::exists(badName));
}

} // namespace
} // namespace ombrix
