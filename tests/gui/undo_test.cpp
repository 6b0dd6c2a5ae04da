// Undo and redo of the forms in the main window, driven as a user drives it: fields typed and
// left with Tab, ticks, form kinds and Copy settings, then Edit → Undo / Redo.
#include "app/ombrix.h"
#include "core/model/settingsfile.h"
#include "menupicture.h"

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
        w->finishCalculation();
    }
    void TearDown() override { w->finishCalculation(); }

    // Types `text` into the field on its page and leaves it with Tab.
    void type(int page, QLineEdit* edit, const QString& text) {
        w->pages()->setCurrentIndex(page);
        edit->setFocus(Qt::MouseFocusReason);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Tab);
        w->finishCalculation();
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
        w->finishCalculation();
    }
    void trigger(const char* name) {
        w->menuAction(name)->trigger();
        w->finishCalculation();
    }
    std::array<std::vector<double>, kOutputCount> activeSamples() const {
        std::array<std::vector<double>, kOutputCount> s;
        for (int k = 0; k < kOutputCount; ++k)
            if (k == 0 || w->forms().General.Active[static_cast<std::size_t>(k)])
                s[static_cast<std::size_t>(k)] = w->samples(k);
        return s;
    }

    // The window with its Edit menu open, for the documentation.
    void saveEditMenuPicture() {
        auto* edit = qobject_cast<QMenu*>(w->menuAction("Undo1")->parent());
        ASSERT_NE(edit, nullptr);
        edit->popup(w->mapToGlobal(w->menuBar()->actionGeometry(edit->menuAction()).bottomLeft()));
        testkit::saveMenuPicture(w.get(), {edit}, "edit-menu");
        edit->hide();
    }

    std::unique_ptr<TOmbrix> w;
};

TEST_F(UndoTest, UndoingEveryStepGivesBackTheStartAndRedoingGivesBackTheEnd) {
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        SetUp();
        std::mt19937 rng(seed);
        const FormsConfig start = w->forms();
        const auto startSamples = activeSamples();
        for (int i = 0; i < 25; ++i)
            randomChange(rng);
        const FormsConfig end = w->forms();
        const auto endSamples = activeSamples();
        int steps = 0;
        while (w->menuAction("Undo1")->isEnabled() && steps < 100) {
            trigger("Undo1");
            ++steps;
        }
        EXPECT_GT(steps, 5);
        EXPECT_TRUE(w->forms() == start);
        EXPECT_EQ(activeSamples(), startSamples);
        for (int i = 0; i < steps; ++i)
            trigger("Redo1");
        EXPECT_FALSE(w->menuAction("Redo1")->isEnabled());
        EXPECT_TRUE(w->forms() == end);
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
    w->SaveAs();
    type(1, w->output(0).amplitude[0], "1.5");
    EXPECT_TRUE(w->isModified());
    trigger("Undo1");
    EXPECT_EQ(w->output(0).amplitude[0]->text(), "2");
    EXPECT_FALSE(w->isModified());
    trigger("Redo1");
    EXPECT_TRUE(w->isModified());

    // Open is a step like the others: undoing it brings back the forms it replaced and the
    // file they belong to, so that Save does not write them over the opened file.
    const QString other = dir.filePath("other.set");
    ASSERT_TRUE(QFile::copy(file, other));
    type(0, w->general().Freq, "250");
    ASSERT_TRUE(w->openFile(other));
    w->finishCalculation();
    EXPECT_EQ(w->general().Freq->text(), "1000");
    trigger("Undo1");
    EXPECT_EQ(w->general().Freq->text(), "250");
    EXPECT_EQ(w->currentFileName().toStdString(), file.toStdString());
    trigger("Redo1");
    EXPECT_EQ(w->general().Freq->text(), "1000");
    EXPECT_EQ(w->currentFileName().toStdString(), other.toStdString());
    trigger("Undo1");
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
    w->finishCalculation();
    FormsConfig f = w->forms();
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
    ASSERT_TRUE(w->openFile(name));
    w->finishCalculation();
    EXPECT_TRUE(w->forms() == f);
    EXPECT_EQ(w->general().NumOfSam->text(), "6000");
    EXPECT_EQ(w->samples(0).size(), 6000u);
}

} // namespace
} // namespace ombrix
