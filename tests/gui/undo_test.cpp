// Undo and redo of the forms in the main window, driven as a user drives it: fields typed and
// left with Tab, ticks, form kinds and Copy settings, then Edit → Undo / Redo.
#include "app/ombrix.h"
#include "core/model/settingsfile.h"
#include "menupicture.h"
#include "typing.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace ombrix {
namespace {

class UndoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        w = std::make_unique<TOmbrix>();
        w->setMessageHandler([](const QString&, const QString&) {});
        w->show();
        QApplication::setActiveWindow(w.get());
        w->calculation().finishCalculation();
    }
    void TearDown() override { w->calculation().finishCalculation(); }

    void type(int page, QLineEdit* edit, const QString& text) {
        testkit::typeInto(*w, page, edit, text);
    }
    // One committed change drawn at random from what a user does to the forms.
    void randomChange(std::mt19937& rng) {
        auto pick = [&rng](int low, int high) {
            return std::uniform_int_distribution<int>(low, high)(rng);
        };
        const int k = pick(0, kOutputCount - 1);
        OutputPage& o = w->output(k);
        const QString number = QString::number(pick(-3, 3)) + "." + QString::number(pick(0, 9));
        switch (pick(0, 6)) {
        case 0:
            o.formItems[0]->click();
            type(k + 1, o.amplitude[static_cast<std::size_t>(pick(0, 3))], number);
            break;
        case 1:
            type(k + 1, o.offset, number);
            break;
        case 2:
            type(0, w->general().Freq, QString::number(pick(1, 400)));
            break;
        case 3:
            if (k > 0)
                w->general().activeBox[static_cast<std::size_t>(k)]->click();
            break;
        case 4:
            w->pages()->setCurrentIndex(k + 1);
            o.formItems[static_cast<std::size_t>(pick(0, 1))]->click();
            break;
        case 5:
            w->pages()->setCurrentIndex(k + 1);
            o.formItems[0]->click();
            o.en[static_cast<std::size_t>(pick(0, 5))]->click();
            break;
        default:
            w->pages()->setCurrentIndex(k + 1);
            o.copySource->setCurrentIndex(pick(0, kOutputCount - 2));
            o.copyButton->click();
            break;
        }
        w->calculation().finishCalculation();
    }
    void trigger(QAction* action) {
        action->trigger();
        w->calculation().finishCalculation();
    }
    std::array<std::vector<double>, kOutputCount> activeSamples() const {
        std::array<std::vector<double>, kOutputCount> s;
        for (int k = 0; k < kOutputCount; ++k)
            if (k == 0 || w->document().forms().General.Active[static_cast<std::size_t>(k)])
                s[static_cast<std::size_t>(k)] = w->calculation().samples(k);
        return s;
    }

    // The window with its Edit menu open, for the documentation.
    void saveEditMenuPicture() {
        auto* edit = qobject_cast<QMenu*>(w->actions().undo->parent());
        ASSERT_NE(edit, nullptr);
        edit->popup(w->mapToGlobal(w->menuBar()->actionGeometry(edit->menuAction()).bottomLeft()));
        testkit::saveWindowPicture(w.get(), {edit}, "edit-menu");
        edit->hide();
    }

    std::unique_ptr<TOmbrix> w;
};

TEST_F(UndoTest, UndoingEveryStepGivesBackTheStartAndRedoingGivesBackTheEnd) {
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        SetUp();
        std::mt19937 rng(seed);
        const FormsConfig start = w->document().forms();
        const auto startSamples = activeSamples();
        for (int i = 0; i < 25; ++i)
            randomChange(rng);
        const FormsConfig end = w->document().forms();
        const auto endSamples = activeSamples();
        int steps = 0;
        while (w->actions().undo->isEnabled() && steps < 100) {
            trigger(w->actions().undo);
            ++steps;
        }
        EXPECT_GT(steps, 5);
        EXPECT_TRUE(w->document().forms() == start);
        EXPECT_EQ(activeSamples(), startSamples);
        for (int i = 0; i < steps; ++i)
            trigger(w->actions().redo);
        EXPECT_FALSE(w->actions().redo->isEnabled());
        EXPECT_TRUE(w->document().forms() == end);
        EXPECT_EQ(activeSamples(), endSamples);
        // The fields show the forms again.
        EXPECT_EQ(w->general().Freq->text().toStdString(), end.General.Freq);
        EXPECT_EQ(w->output(0).offset->text().toStdString(), end.Outputs[0].Offset);
    }
}

TEST_F(UndoTest, UndoingBackToTheSavedFormsClearsTheModifiedMark) {
    QTemporaryDir dir;
    const QString file = dir.filePath("saved.set");
    TOmbrix::Prompts prompts;
    prompts.saveFileName = [file] { return file; };
    w->setPrompts(prompts);
    type(1, w->output(0).amplitude[0], "2");
    w->document().SaveAs();
    type(1, w->output(0).amplitude[0], "1.5");
    EXPECT_TRUE(w->document().isModified());
    trigger(w->actions().undo);
    EXPECT_EQ(w->output(0).amplitude[0]->text(), "2");
    EXPECT_FALSE(w->document().isModified());
    trigger(w->actions().redo);
    EXPECT_TRUE(w->document().isModified());

    // Open is a step like the others: undoing it brings back the forms it replaced and the
    // file they belong to, so that Save does not write them over the opened file.
    const QString other = dir.filePath("other.set");
    ASSERT_TRUE(QFile::copy(file, other));
    type(0, w->general().Freq, "250");
    ASSERT_TRUE(w->document().openFile(other));
    w->calculation().finishCalculation();
    EXPECT_EQ(w->general().Freq->text(), "1000");
    trigger(w->actions().undo);
    EXPECT_EQ(w->general().Freq->text(), "250");
    EXPECT_EQ(w->document().currentFileName().toStdString(), file.toStdString());
    trigger(w->actions().redo);
    EXPECT_EQ(w->general().Freq->text(), "1000");
    EXPECT_EQ(w->document().currentFileName().toStdString(), other.toStdString());
    trigger(w->actions().undo);
    saveEditMenuPicture();
}

TEST_F(UndoTest, CtrlZInAFieldBeingTypedUndoesTheTypingOnly) {
    type(1, w->output(0).offset, "1");
    // Typing over the "0" of a harmonic cell: its key rule rewrites the text, and the field's
    // own undo still gives the "0" back.
    QLineEdit* cell = w->output(0).amplitude[1];
    cell->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(cell, "7");
    ASSERT_EQ(cell->text(), "7");
    QTest::keyClick(cell, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(cell->text(), "0");
    EXPECT_EQ(w->output(0).offset->text(), "1"); // the committed offset stays
}

// A file's sample count stands even where the outputs active before Open allowed fewer.
TEST_F(UndoTest, OpenWritesTheFilesFormsExactly) {
    for (int k = 1; k < kOutputCount - 1; ++k)
        w->general().activeBox[static_cast<std::size_t>(k)]->click();
    w->calculation().finishCalculation();
    FormsConfig f = w->document().forms();
    f.General.Active = {true, false, false, false, false, false};
    f.General.NumOfSam = "6000";
    f.General.Freq = "100";
    QTemporaryDir dir;
    const QString name = dir.filePath("one-output.set");
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const std::vector<unsigned char> image = encodeForms(f);
    file.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size()));
    file.close();
    ASSERT_TRUE(w->document().openFile(name));
    w->calculation().finishCalculation();
    EXPECT_TRUE(w->document().forms() == f);
    EXPECT_EQ(w->general().NumOfSam->text(), "6000");
    EXPECT_EQ(w->calculation().samples(0).size(), 6000u);
}

} // namespace
} // namespace ombrix
