// The main window built offscreen: captions, start-up states, and the click rules of the
// forms model as a user triggers them.
#include "app/apptitle.h"
#include "app/ombrix.h"
#include "calcrequests.h"
#include "gui/charts/chartview.h"
#include "gui/common/updown.h"
#include "gui/dialogs/aboutform.h"
#include "gui/dialogs/tcss.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEnterEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

namespace ombrix {
namespace {

using Requests = std::vector<std::pair<int, int>>;

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { w = std::make_unique<TOmbrix>(); }

    // Saves a picture of the window when OMBRIX_SCREENSHOT_DIR names a folder.
    void saveShot(const char* name) {
        const QByteArray dir = qgetenv("OMBRIX_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            w->grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
    }

    std::unique_ptr<TOmbrix> w;
};

TEST_F(MainWindowTest, BuildsWithTheStartUpCaptionsAndStates) {
    // The start-up calculation runs first; its end writes panel 3 and shows output 1.
    w->calculation().finishCalculation();
    EXPECT_EQ(w->windowTitle(), "Ombrix");
    EXPECT_EQ(w->size(), QSize(740, 581));
    struct Button {
        QToolButton* button;
        const char* caption;
        bool enabled;
    };
    const MainActions& a = w->actions();
    const Button buttons[] = {{a.sendAllButton, "&Send all", false},
                              {a.stopButton, "Stop", false},
                              {a.connectButton, "&Connect", true},
                              {a.disconnectButton, "&Disconnect", false},
                              {a.controlPanelButton, "Control &panel", true},
                              {a.newButton, "&New", true},
                              {a.saveButton, "Sa&ve", true},
                              {a.openButton, "&Open", true},
                              {a.settingsButton, "Se&ttings", true}};
    for (const Button& b : buttons) {
        QToolButton* t = b.button;
        ASSERT_NE(t, nullptr) << b.caption;
        EXPECT_EQ(t->text(), b.caption);
        EXPECT_EQ(t->isEnabled(), b.enabled) << b.caption;
        EXPECT_FALSE(t->icon().isNull());
    }
    EXPECT_EQ(w->actions().sendAllButton->menu()->actions().size(), 4);
    EXPECT_EQ(w->actions().sendAllButton->popupMode(), QToolButton::MenuButtonPopup);

    const char* panels[] = {"Disconnected",       "Port: COM1 9600 bps", "",
                            "Samples calculated", "VRef1: 4096 mV",      "VRef2: 4096 mV"};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(w->statusPanel(k)->text(), panels[k]);

    struct Item {
        QAction* action;
        const char* caption;
        QKeySequence shortcut;
        bool enabled;
    };
    const Item items[] = {
        {a.newForms, "&New forms", QKeySequence(Qt::Key_F4), true},
        {a.open, "&Open saved forms", QKeySequence(Qt::Key_F3), true},
        {a.save, "&Save forms", QKeySequence(Qt::Key_F2), false},
        {a.saveAs, "S&ave forms as...", QKeySequence(Qt::SHIFT | Qt::Key_F2), true},
        {a.exit, "E&xit", QKeySequence(), true},
        {a.controlPanel, "&Control Panel", QKeySequence(Qt::Key_F8), true},
        {a.about, "&About", QKeySequence(), true}};
    for (const Item& i : items) {
        ASSERT_NE(i.action, nullptr) << i.caption;
        EXPECT_EQ(i.action->text(), i.caption);
        EXPECT_EQ(i.action->shortcut(), i.shortcut) << i.caption;
        EXPECT_EQ(i.action->isEnabled(), i.enabled) << i.caption;
    }

    QTabWidget* pages = w->pages();
    ASSERT_EQ(pages->count(), 7);
    EXPECT_EQ(pages->tabText(0), "General");
    EXPECT_EQ(pages->tabText(6), "Output 6");
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_FALSE(w->general().StartFreq->isEnabled());
    EXPECT_EQ(w->general().Time->text(), "1"); // no rule runs on the start-up texts
    EXPECT_EQ(w->general().Freq->text(), "1000");
    EXPECT_FALSE(w->general().SwapCyclic->isEnabled());
    EXPECT_TRUE(w->general().Freq->isEnabled());
    EXPECT_EQ(w->general().UpDown1001->maximum(), 8192);
    EXPECT_EQ(w->general().StepComboBox->count(), 9);
    // All six outputs are calculated at start-up.
    w->calculation().finishCalculation();
    for (int k = 0; k < kOutputCount; ++k)
        EXPECT_EQ(w->calculation().samples(k).size(), 1000u) << k;

    // Only output 1 is shown on the "General" chart at start; all series draw stairs.
    ChartView* all = w->general().ChartAll;
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(all->isSeriesActive(k), k == 0);
        EXPECT_TRUE(all->stairs(k));
        EXPECT_FALSE(all->pointsVisible(k));
    }
    w->show();
    saveShot("general");
}

TEST_F(MainWindowTest, CaptionsAreShownAsWritten) {
    setApplicationTitle();
    EXPECT_EQ(QCoreApplication::applicationName(), "Ombrix");
    // No display name is fixed: the window system would append it to every caption
    // ("About — Ombrix"). Unfixed, it follows the application name.
    QCoreApplication::setApplicationName("probe");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "probe");
    setApplicationTitle();
}

TEST_F(MainWindowTest, AboutBoxIsCentredOnTheDesktopWithItsLinkAtRest) {
    TAboutForm* about = &w->aboutBox();
    w->move(300, 200);
    w->show();
    int opened = 0;
    auto lookAndClose = [&] {
        ++opened;
        const QPoint desktop = about->screen()->availableGeometry().center();
        EXPECT_LE((about->frameGeometry().center() - desktop).manhattanLength(), 8); // frame
        EXPECT_EQ(about->link()->palette().color(QPalette::WindowText), QColor(Qt::blue));
        EXPECT_FALSE(about->link()->font().underline());
        // The pointer rests on the link when the box goes: no leave event follows.
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QApplication::sendEvent(about->link(), &enter);
        about->accept();
    };
    for (int open = 0; open < 2; ++open) {
        QTimer::singleShot(0, about, lookAndClose);
        w->actions().about->trigger();
    }
    EXPECT_EQ(opened, 2);
}

TEST_F(MainWindowTest, HarmonicRowOneHasNoVisiblePhaseEdit) {
    for (int i = 0; i < 6; ++i) {
        OutputPage& o = w->output(i);
        EXPECT_TRUE(o.phase[0]->isHidden()) << i;
        for (int r = 1; r < 20; ++r)
            EXPECT_FALSE(o.phase[r]->isHidden()) << i << " row " << r;
        EXPECT_EQ(o.copySource->count(), 5);
        EXPECT_EQ(o.copySource->currentIndex(), -1);
        EXPECT_EQ(o.copySource->placeholderText(), "Select output");
        EXPECT_EQ(o.pulse[2]->text(), "50");
        EXPECT_EQ(o.pulse[4]->text(), "50");
        EXPECT_FALSE(o.pulsePanel->isEnabled());
    }
    // The copy lists skip the page's own output.
    EXPECT_EQ(w->output(0).copySource->itemText(0), "Output 2");
    EXPECT_EQ(w->output(3).copySource->itemText(3), "Output 5");
    EXPECT_EQ(w->output(3).copySourceOutput(3), 4);
    EXPECT_EQ(w->output(3).copySourceOutput(2), 2);
}

TEST_F(MainWindowTest, FormKindShowsAndEnablesItsPanelAndRecalculatesThatOutput) {
    w->show();
    OutputPage& o = w->output(1);
    w->pages()->setCurrentIndex(2);
    testkit::CalcRequests requests(w->calculation());

    o.formItems[1]->click();
    EXPECT_TRUE(o.pulsePanel->isVisible() && o.pulsePanel->isEnabled());
    EXPECT_FALSE(o.harmonicsBox->isVisible());
    EXPECT_FALSE(o.equation->isVisible());
    EXPECT_TRUE(o.offset->isEnabled());
    saveShot("pulse");

    o.formItems[2]->click();
    EXPECT_TRUE(o.equation->isVisible());
    EXPECT_FALSE(o.pulsePanel->isVisible() || o.pulsePanel->isEnabled());
    EXPECT_FALSE(o.harmonicsBox->isVisible() || o.harmonicsBox->isEnabled());
    EXPECT_FALSE(o.offset->isEnabled());

    o.formItems[0]->click();
    EXPECT_TRUE(o.harmonicsBox->isVisible() && o.harmonicsBox->isEnabled());
    EXPECT_TRUE(o.offset->isEnabled());
    EXPECT_EQ(w->document().forms().Outputs[1].Form, FormKind::Sine);
    EXPECT_EQ(requests.list, (Requests{{1, 1}, {1, 1}, {1, 1}}));
    saveShot("sine");
}

TEST_F(MainWindowTest, ResizingDocksThePages) {
    w->show();
    struct Case {
        int width, height;
        PageDock dock;
    };
    const Case cases[] = {{729, 600, PageDock::Left},
                          {800, 570, PageDock::Top},
                          {700, 500, PageDock::None},
                          {780, 590, PageDock::Fill}};
    // The rule speaks of the outer size, frame included.
    const QSize frame = w->frameGeometry().size() - w->size();
    for (const Case& c : cases) {
        EXPECT_EQ(pageDockFor(c.width, c.height), c.dock);
        w->resize(QSize(c.width, c.height) - frame);
        QCoreApplication::processEvents();
        EXPECT_EQ(w->pageDock(), c.dock) << c.width << " x " << c.height;
    }
    // Filling, the pages take the whole area; docked left they keep that width.
    const int filledWidth = w->pages()->width();
    w->resize(QSize(729, 590) - frame);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->pages()->width(), filledWidth);
}

TEST_F(MainWindowTest, AllOutputsActiveLimitTheSampleCount) {
    GeneralPage& g = w->general();
    g.NumOfSam->setText("2000");
    for (int k = 1; k < 6; ++k)
        g.activeBox[k]->click();
    EXPECT_EQ(w->document().ActiveCount(), 6);
    EXPECT_EQ(w->document().MaxSamples(), 1365);
    EXPECT_EQ(g.NumOfSam->text(), "1365");
    EXPECT_EQ(g.UpDown1001->maximum(), 1365);

    // Unticking raises the maximum but not the count.
    testkit::CalcRequests requests(w->calculation());
    g.activeBox[5]->click();
    EXPECT_EQ(w->document().MaxSamples(), 1638);
    EXPECT_EQ(g.NumOfSam->text(), "1365");
    EXPECT_EQ(requests.list, (Requests{{5, 5}}));
    EXPECT_TRUE(w->document().isModified());

    // With "Set max number" the count follows the maximum and the field is read-only.
    g.CheckBox6->click();
    EXPECT_EQ(g.NumOfSam->text(), "1638");
    EXPECT_TRUE(g.NumOfSam->isReadOnly());
    EXPECT_FALSE(g.UpDown1001->isEnabled());
    g.activeBox[4]->click();
    EXPECT_EQ(g.NumOfSam->text(), "2048");
    g.CheckBox6->click();
    EXPECT_FALSE(g.NumOfSam->isReadOnly());
}

TEST_F(MainWindowTest, CopySettingsCopiesEverythingAndSwitchesTheFormKind) {
    OutputPage& src = w->output(2);
    src.amplitude[3]->setText("1,5");
    src.en[3]->click();
    src.formItems[1]->click();
    src.pulse[0]->setText("5");
    src.offset->setText("-2");
    OutputPage& dst = w->output(0);

    // No source chosen: nothing happens.
    testkit::CalcRequests requests(w->calculation());
    dst.copyButton->click();
    EXPECT_TRUE(requests.list.empty());
    EXPECT_EQ(w->document().forms().Outputs[0].Form, FormKind::Sine);

    dst.copySource->setCurrentIndex(1); // "Output 3"
    dst.copyButton->click();
    EXPECT_EQ(w->document().forms().Outputs[0], w->document().forms().Outputs[2]);
    EXPECT_TRUE(dst.formItems[1]->isChecked());
    EXPECT_EQ(dst.amplitude[3]->text(), "1,5");
    EXPECT_TRUE(dst.en[3]->isChecked());
    EXPECT_EQ(dst.pulse[0]->text(), "5");
    EXPECT_EQ(dst.offset->text(), "-2");
    EXPECT_EQ(requests.list, (Requests{{0, 0}, {0, 0}}));
}

TEST_F(MainWindowTest, SweepSwitchEnablesItsFields) {
    GeneralPage& g = w->general();
    g.SwapEnabled->click();
    EXPECT_FALSE(g.Freq->isEnabled());
    EXPECT_TRUE(g.StartFreq->isEnabled() && g.Time->isEnabled() && g.SwapCyclic->isEnabled());
    EXPECT_TRUE(w->document().isModified());
    g.SwapEnabled->click();
    EXPECT_TRUE(g.Freq->isEnabled());
    EXPECT_FALSE(g.StartFreq->isEnabled());
}

TEST_F(MainWindowTest, PageSwitchMarksTheFormsModified) {
    EXPECT_FALSE(w->document().isModified());
    w->pages()->setCurrentIndex(3);
    EXPECT_TRUE(w->document().isModified());
}

} // namespace
} // namespace ombrix
