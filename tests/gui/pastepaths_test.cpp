// Text that reaches a field other than by single keys: Ctrl+V, Shift+Insert, the middle
// button, a drop, an input method and the context menu's "Paste" each give what typing the
// same characters gives, within the typing limit; the result is committed before Send all and
// undone in one step. The middle button needs a platform with a selection clipboard (X11):
// offscreen those cases are skipped, and the PastePathsUnderXvfb test runs them on xcb.
#include "core/device/encodings.h"
#include "core/device/transfer.h"
#include "gui/device/devicecontroller.h"
#include "linkwait.h"
#include "simprobe.h"
#include "simwindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <numeric>

namespace ombrix {
namespace {

enum class Path { CtrlV, ShiftInsert, MiddleClick, Drop, InputMethod, ContextMenu };

const char* name(Path p) {
    static const char* const names[] = {"Ctrl+V", "Shift+Insert", "middle click",
                                        "drop",   "input method", "context menu"};
    return names[static_cast<int>(p)];
}

bool hasSelectionClipboard() {
    return QGuiApplication::clipboard()->supportsSelection();
}

// Brings `text` into the focused field by `path`, as a user does; the field is empty.
void bring(QLineEdit* field, Path path, const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QPoint middle = field->rect().center();
    switch (path) {
    case Path::CtrlV:
        clipboard->setText(text);
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        break;
    case Path::ShiftInsert:
        clipboard->setText(text);
        QTest::keyClick(field, Qt::Key_Insert, Qt::ShiftModifier);
        break;
    case Path::MiddleClick:
        clipboard->setText(text, QClipboard::Selection);
        QTest::mouseClick(field, Qt::MiddleButton, {}, middle);
        break;
    case Path::Drop: {
        QMimeData data;
        data.setText(text);
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(middle, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(field, &enter);
        QDropEvent drop(QPointF(middle), actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(field, &drop);
        break;
    }
    case Path::InputMethod: {
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(field, &commit);
        break;
    }
    case Path::ContextMenu: {
        clipboard->setText(text);
        QContextMenuEvent request(QContextMenuEvent::Mouse, middle, field->mapToGlobal(middle));
        QApplication::sendEvent(field, &request);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        for (QAction* a : menu->actions())
            if (a->text().startsWith("&Paste"))
                a->trigger();
        menu->close();
        break;
    }
    }
}

class PastePathsTest : public ::testing::Test, protected testkit::SimulatorWindow {
  protected:
    void SetUp() override {
        w->show();
        QApplication::setActiveWindow(w.get());
        w->calculation().finishCalculation();
    }
    void TearDown() override { w->calculation().finishCalculation(); }

    std::vector<Path> paths() const {
        std::vector<Path> all{Path::CtrlV, Path::ShiftInsert, Path::Drop, Path::InputMethod,
                              Path::ContextMenu};
        if (hasSelectionClipboard())
            all.push_back(Path::MiddleClick);
        else if (std::getenv("OMBRIX_REQUIRE_SELECTION"))
            ADD_FAILURE() << "no selection clipboard on this platform";
        return all;
    }

    // Empties the field, gives it the focus, and brings `text` in by `path`.
    void enter(QLineEdit* field, Path path, const QString& text) {
        QApplication::setActiveWindow(field->window());
        field->setFocus(Qt::MouseFocusReason);
        field->clear();
        bring(field, path, text);
    }
    // What typing `text` into the empty field gives.
    QString typed(QLineEdit* field, const QString& text) {
        QApplication::setActiveWindow(field->window());
        field->setFocus(Qt::MouseFocusReason);
        field->clear();
        QTest::keyClicks(field, text);
        return field->text();
    }
    void leave() {
        w->general().Ph_Disp[5]->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }
};

TEST_F(PastePathsTest, EveryPathGivesWhatTypingGives) {
    struct Case {
        std::function<QLineEdit*()> field;
        int page;
        const char* text;
        const char* expected; // nullptr: as typing gives, whatever the separator
    };
    const Case cases[] = {
        {[this] { return w->output(0).amplitude[0]; }, 1, "12abc345678901", "123456"},
        {[this] { return w->general().Freq; }, 0, "-5", "5"},
        {[this] { return w->general().Freq; }, 0, "1e999 1,5.5 NaN", nullptr}, // by separator
        {[this] { return w->general().NumOfSam; }, 0, "2.048e3", "20483"},
        {[this] { return w->general().Ph_Disp[2]; }, 0, "-3605", "-360"},
        {[this] { return w->output(0).offset; }, 1, "5-2", "52"},
        {[this] { return panel->ControlPanelFreq; }, -1, "12abc3-4", "1234"},
        {[this] { return settings->VRef1Edit; }, -1, "40x96", "4096"},
    };
    connectToSimulator(); // the control panel's frequency is enabled once a transfer has ended
    ASSERT_TRUE(sendAll());
    panel->show();
    for (const Case& c : cases) {
        QLineEdit* field = c.field();
        if (c.page >= 0)
            w->pages()->setCurrentIndex(c.page);
        if (field == settings->VRef1Edit)
            settings->show();
        const QString byTyping = typed(field, c.text);
        if (c.expected) {
            EXPECT_EQ(byTyping.toStdString(), c.expected) << c.text;
        }
        for (Path path : paths()) {
            SCOPED_TRACE(std::string(name(path)) + " of '" + c.text + "'");
            enter(field, path, c.text);
            EXPECT_EQ(field->text().toStdString(), byTyping.toStdString());
        }
        settings->hide();
    }
}

TEST_F(PastePathsTest, APastedNegativeFrequencyNeverReachesTheForms) {
    for (Path path : paths()) {
        SCOPED_TRACE(name(path));
        w->pages()->setCurrentIndex(0);
        enter(w->general().Freq, path, "-5");
        EXPECT_EQ(w->document().forms().General.Freq, "5");
        leave();
        EXPECT_EQ(w->document().forms().General.Freq, "5");
        EXPECT_TRUE(w->document().isModified());
    }
}

// Send all right after a paste, the field still focused, sends what the field shows: the
// offset -2 V, not the +2 V the output had.
TEST_F(PastePathsTest, SendAllAfterAPasteSendsWhatTheFieldShows) {
    connectToSimulator();
    ASSERT_TRUE(w->link().device().isConnected());
    for (Path path : paths()) {
        SCOPED_TRACE(name(path));
        w->pages()->setCurrentIndex(1);
        QLineEdit* offset = w->output(0).offset;
        offset->setFocus(Qt::MouseFocusReason);
        offset->setText("2");
        leave();
        w->pages()->setCurrentIndex(1);
        enter(offset, path, "-2");
        ASSERT_EQ(offset->text(), "-2");
        messages.clear();
        QTest::mouseClick(w->actions().sendAllButton, Qt::LeftButton);
        ASSERT_TRUE(testkit::waitForLink(*w, 20000));
        ASSERT_TRUE(messages.empty()) << messages.front().toStdString();
        const std::vector<double>& held = w->calculation().samples(0);
        ASSERT_FALSE(held.empty());
        EXPECT_NEAR(std::accumulate(held.begin(), held.end(), 0.0) / held.size(), -2.0, 1e-6);
        const QJsonArray codes =
            QJsonDocument::fromJson(
                QByteArray::fromStdString(testkit::simulatorStateJson(w->link().device().port())))
                .object()["outputs"]
                .toArray()[0]
                .toObject()["codes"]
                .toArray();
        const double step = sampleStep(std::stod(settings->settings().VRef1));
        ASSERT_EQ(codes.size(), static_cast<qsizetype>(held.size()));
        for (std::size_t j = 0; j < held.size(); ++j)
            ASSERT_EQ(codes[static_cast<qsizetype>(j)].toInt(), sampleCode(held[j], step)) << j;
    }
}

TEST_F(PastePathsTest, OneUndoTakesBackAPaste) {
    for (Path path : paths()) {
        SCOPED_TRACE(name(path));
        w->pages()->setCurrentIndex(0);
        w->document().resetHistory();
        const std::string before = w->document().forms().General.Freq;
        enter(w->general().Freq, path, "2x5-0");
        leave();
        ASSERT_EQ(w->document().forms().General.Freq, "250");
        w->actions().undo->trigger();
        EXPECT_EQ(w->general().Freq->text().toStdString(), before);
        EXPECT_EQ(w->document().forms().General.Freq, before);
        EXPECT_FALSE(w->document().formsHistory().canUndo()); // it was one step
    }
}

// A text dropped on a field that does not have the focus is never left: it is committed at
// once, its exit rule run (5000 Hz is more than 1000 samples allow) and one undo step taken.
TEST_F(PastePathsTest, ADropOnAnUnfocusedFieldIsCommittedAtOnce) {
    w->document().resetHistory();
    w->general().Ph_Disp[5]->setFocus(Qt::TabFocusReason);
    QLineEdit* freq = w->general().Freq;
    freq->selectAll();
    bring(freq, Path::Drop, "x5000");  // "10005000"
    QCoreApplication::processEvents(); // the drop has ended
    EXPECT_FALSE(freq->hasFocus());
    EXPECT_EQ(freq->text(), "1332");
    EXPECT_EQ(w->document().forms().General.Freq, "1332");
    EXPECT_TRUE(w->document().formsHistory().canUndo());
}

} // namespace
} // namespace ombrix
