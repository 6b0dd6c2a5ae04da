// The control panel bound to the main window and the in-process simulated generator: the
// run mask frames of every Start/Stop rule and the live frequency.
#include "app/ombrix.h"
#include "calcrequests.h"
#include "core/device/devicecommands.h"
#include "core/device/encodings.h"
#include "gui/charts/chartmenu.h"
#include "gui/device/controlpanel.h"
#include "gui/device/devicecontroller.h"
#include "gui/dialogs/settingsform.h"
#include "simprobe.h"
#include "simwindow.h"
#include "testkit/fakeclock.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>

namespace ombrix {
namespace {

class ControlPanelTest : public ::testing::Test, protected testkit::SimulatorWindow {
  protected:
    void SetUp() override { w->calculation().finishCalculation(); }

    // Connects to the simulator and sends everything, so that the panel becomes usable.
    void connectAndSend() {
        connectToSimulator();
        ASSERT_TRUE(w->link().device().isConnected());
        ASSERT_TRUE(sendAll());
        ASSERT_TRUE(panel->startButton[0]->isEnabled());
    }
    // What the generator holds once the link has sent what was asked of it.
    long stateNumber(const std::string& key) {
        testkit::waitForLink(*w);
        const std::string json = testkit::simulatorStateJson(w->link().device().port());
        const auto at = json.find("\"" + key + "\": ");
        return at == std::string::npos ? -1 : std::stol(json.substr(at + key.size() + 4));
    }
    double stateFrequency() {
        testkit::waitForLink(*w);
        const std::string json = testkit::simulatorStateJson(w->link().device().port());
        const auto at = json.find("\"frequency_hz\": ");
        return at == std::string::npos ? -1 : std::stod(json.substr(at + 16));
    }
};

TEST_F(ControlPanelTest, DisabledUntilATransferHasEnded) {
    EXPECT_FALSE(panel->startButton[0]->isEnabled());
    EXPECT_FALSE(panel->Button16->isEnabled());
    EXPECT_FALSE(panel->ControlPanelFreq->isEnabled());
    connectAndSend();
    EXPECT_TRUE(panel->Button16->isEnabled());
    EXPECT_TRUE(panel->ControlPanelFreq->isEnabled());
    EXPECT_TRUE(panel->TrackBar1->isEnabled());
    w->actions().disconnectButton->click(); // Disconnect
    testkit::waitForLink(*w);
    EXPECT_FALSE(panel->startButton[3]->isEnabled());
}

TEST_F(ControlPanelTest, StartAndStopButtonsSendTheRunMask) {
    w->general().activeBox[1]->setChecked(true); // outputs 2 and 5 active
    w->general().activeBox[4]->setChecked(true);
    connectAndSend();
    panel->startButton[2]->click();
    EXPECT_EQ(stateNumber("run_mask"), 0x04);
    panel->startButton[0]->click();
    EXPECT_EQ(stateNumber("run_mask"), 0x05);
    panel->stopButton[2]->click();
    EXPECT_EQ(stateNumber("run_mask"), 0x01);
    panel->Button15->click(); // "All" Start
    EXPECT_EQ(stateNumber("run_mask"), 0x13);
    panel->Button16->click(); // "All" Stop
    EXPECT_EQ(stateNumber("run_mask"), 0x00);
    // "Selected": rows 1 and 4 ticked, output 4 inactive: bit 0 only.
    panel->rowBox[0]->setChecked(true);
    panel->rowBox[3]->setChecked(true);
    panel->Button13->click();
    EXPECT_EQ(stateNumber("run_mask"), 0x01);
    panel->startButton[5]->click(); // output 6 is Button1 on the form
    EXPECT_EQ(panel->startButton[5]->objectName(), "Button1");
    panel->Button14->click();
    EXPECT_EQ(stateNumber("run_mask"), 0x20);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ControlPanelTest, LiveFrequencyFollowsTheFieldAndTheTrackBar) {
    connectAndSend();
    w->show();
    w->actions().controlPanelButton->click();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(w->actions().controlPanel->isChecked());
    EXPECT_EQ(panel->ControlPanelFreq->text(), "1000");
    EXPECT_EQ(panel->TrackBar1->value(), 1000);

    QLineEdit* f = panel->ControlPanelFreq;
    QApplication::setActiveWindow(panel);
    f->setFocus(Qt::TabFocusReason);
    f->selectAll();
    QTest::keyClick(f, Qt::Key_Backspace);
    QTest::keyClicks(f, "12");
    // The device plays the nearest frequency its timing words allow.
    EXPECT_NEAR(stateFrequency(), 12.0, 0.12);
    EXPECT_EQ(w->general().Freq->text(), "12"); // the main frequency follows
    EXPECT_EQ(panel->TrackBar1->value(), 12);

    // Each change within the limit is sent; above it nothing is sent until the field is
    // left, and then the limit is written and sent.
    f->selectAll();
    QTest::keyClicks(f, "9999");
    EXPECT_EQ(f->text(), "9999");
    EXPECT_NEAR(stateFrequency(), 999.0, 10.0);
    panel->TrackBar1->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    EXPECT_EQ(f->text(), "1332");
    EXPECT_NEAR(stateFrequency(), 1332.0, 14.0);

    panel->TrackBar1->setValue(700);
    EXPECT_EQ(f->text(), "700");
    EXPECT_NEAR(stateFrequency(), 700.0, 7.0);
    EXPECT_EQ(panel->TrackBar1->maximum(), 1332);

    // The View menu item toggles without touching the frequency; closing unticks it.
    panel->close();
    EXPECT_FALSE(w->actions().controlPanel->isChecked());
    w->actions().controlPanel->trigger();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(f->text(), "700");
}

// A frequency set from the panel is a finished change of the main frequency, as if typed
// there and left: a spectrum view is recalculated for it (its axis is in hertz), and it is
// one undo step.
TEST_F(ControlPanelTest, APanelFrequencyIsACommittedChangeOfTheMainOne) {
    connectAndSend();
    w->chartMenu()->FFTamplitude1->trigger();
    w->calculation().finishCalculation();
    testkit::CalcRequests requests(w->calculation());
    panel->TrackBar1->setValue(700);
    EXPECT_EQ(w->general().Freq->text(), "700");
    EXPECT_EQ(requests.list, (std::vector<std::pair<int, int>>{{0, kOutputCount - 1}}));
    w->calculation().finishCalculation();
    w->document().undoForms();
    EXPECT_EQ(w->general().Freq->text(), "1000");
}

TEST_F(ControlPanelTest, FrequencyControlsFollowTheSweepSwitchAndTheLink) {
    auto usable = [this] {
        return panel->Label8->isEnabled() + panel->ControlPanelFreq->isEnabled() +
               panel->TrackBar1->isEnabled(); // 0 or 3
    };
    QCheckBox* sweep = w->general().SwapEnabled;
    sweep->setChecked(true);
    sweep->setChecked(false); // no transfer yet: the panel's buttons are not usable
    EXPECT_EQ(usable(), 0);
    connectAndSend();
    sweep->setChecked(true); // the device sweeps: no live frequency
    EXPECT_EQ(usable(), 0);
    sweep->setChecked(false);
    EXPECT_EQ(usable(), 3);
    // Switched on while the samples go out: the end of the transfer follows the switch.
    QSignalSpy done(&w->link().device(), &DeviceController::transferFinished);
    w->actions().sendAllButton->click();
    sweep->setChecked(true);
    ASSERT_TRUE(!w->link().device().transferRunning() || done.wait(20000));
    EXPECT_EQ(usable(), 0);
    w->actions().disconnectButton->click(); // Disconnect
    testkit::waitForLink(*w);
    sweep->setChecked(false);
    EXPECT_EQ(usable(), 0);
}

TEST_F(ControlPanelTest, FractionalFrequencyShowsItsWholePartOnTheTrackBar) {
    w->general().Freq->setText(QString("12") + QChar(w->decimalSeparator()) + "7");
    w->actions().controlPanelButton->click();
    EXPECT_EQ(panel->TrackBar1->value(), 12);
}

// A value typed and not yet left is what the window shows, so it is what the device gets: a
// tool button or a menu takes no focus, and the field is committed (and calculated) first.
TEST_F(ControlPanelTest, SendAllSendsTheFieldBeingTyped) {
    w->show();
    QApplication::setActiveWindow(w.get());
    settings->PortSelect_ComboBox->setEditText("Simulator");
    settings->ButtonOKClick();
    w->actions().connectButton->click();
    testkit::waitForLink(*w);
    ASSERT_TRUE(w->link().device().isConnected());
    OutputPage& o = w->output(0);
    w->pages()->setCurrentIndex(1);
    o.en[0]->setChecked(true);
    for (const auto& [amplitude, viaMenu] : {std::pair{"2", false}, std::pair{"0.5", true}}) {
        SCOPED_TRACE(amplitude);
        o.amplitude[0]->setFocus(Qt::TabFocusReason);
        o.amplitude[0]->selectAll();
        QTest::keyClicks(o.amplitude[0], amplitude);
        ASSERT_TRUE(o.amplitude[0]->hasFocus());
        QSignalSpy done(&w->link().device(), &DeviceController::transferFinished);
        if (viaMenu) {
            w->actions().sendAllButton->menu()->popup(w->mapToGlobal(QPoint(0, 0)));
            w->actions().sendAllButton->menu()->actions()[0]->trigger();
            w->actions().sendAllButton->menu()->hide();
        } else {
            QTest::mouseClick(w->actions().sendAllButton, Qt::LeftButton);
        }
        ASSERT_TRUE(!w->link().device().transferRunning() || done.wait(20000));
        w->calculation().finishCalculation();
        const std::vector<double>& volts = w->calculation().samples(0);
        double peak = 0;
        for (double v : volts)
            peak = std::max(peak, std::abs(v));
        EXPECT_NEAR(peak, std::stod(amplitude), 1e-3);
        const std::string json = testkit::simulatorStateJson(w->link().device().port());
        const std::size_t at = json.find("\"codes\":", json.find("{\"output\": 1,"));
        ASSERT_NE(at, std::string::npos);
        std::istringstream codes(json.substr(json.find('[', at) + 1));
        for (double v : volts) {
            long code = 0;
            codes >> code;
            codes.ignore(1);
            ASSERT_EQ(code, sampleCode(v, 4096.0 / 1000 / 4096));
        }
    }
}

TEST_F(ControlPanelTest, SendAllRefusesAnActiveOutputWhoseCalculationFailed) {
    connectAndSend();
    const long framesBefore = stateNumber("frames_decoded");
    w->general().activeBox[2]->click();
    w->output(2).formItems[2]->click();
    w->output(2).equation->setPlainText("2+");
    w->calculation().CalculateForms(2, 2);
    w->calculation().finishCalculation();
    messages.clear();
    w->actions().sendAllButton->click();
    EXPECT_FALSE(w->link().device().transferRunning());
    EXPECT_EQ(messages, std::vector<QString>{
                            "Samples refused: Output 3 holds no valid samples (its calculation "
                            "failed)."});
    EXPECT_EQ(stateNumber("frames_decoded"), framesBefore); // nothing went out
    EXPECT_TRUE(panel->startButton[0]->isEnabled());        // the link is as it was
}

} // namespace
} // namespace ombrix
