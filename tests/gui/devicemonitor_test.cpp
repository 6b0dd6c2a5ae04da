// The line log and the device monitor over the in-process simulated generator: the frames of
// a session decoded in order, the monitor's view of what the generator holds against the
// forms, and the flag raised when the generator holds something else.
#include "app/ombrix.h"
#include "core/device/crc16.h"
#include "core/device/encodings.h"
#include "core/device/playback.h"
#include "core/device/selectingport.h"
#include "gui/device/controlpanel.h"
#include "gui/device/devicecontroller.h"
#include "gui/dialogs/settingsform.h"
#include "gui/monitor/devicemonitor.h"
#include "gui/monitor/linelogwindow.h"
#include "linkwait.h"
#include "simprobe.h"
#include "testkit/fakeclock.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace ombrix {
namespace {

class DeviceMonitorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        w = std::make_unique<TOmbrix>(LinkSetup{testkit::makeUnpacedProgramPort(clock), &clock, [] {
                                                    return std::optional(QStringList{"Simulator"});
                                                }});
        w->setMessageHandler([this](const QString& t, const QString&) { messages.push_back(t); });
        settings = &w->settingsForm();
        w->link().device().setMessageHook([this](const MessageRequest& r) {
            messages.push_back(r.text);
            return true;
        });
        w->show();
        settings->PortSelect_ComboBox->setEditText("Simulator");
        settings->ButtonOKClick();
        w->calculation().finishCalculation();
    }
    void TearDown() override { w.reset(); }

    void sendAll() {
        w->actions().sendAllButton->click();
        ASSERT_TRUE(testkit::waitForLink(*w, 20000));
    }
    // Puts `forms` into the window, connects, sends all and shows the monitor of the result.
    DeviceMonitor* sendAndShowMonitor(const FormsConfig& forms) {
        w->binding().applyForms(forms);
        w->calculation().finishCalculation();
        w->actions().connectButton->click();
        testkit::waitForLink(*w);
        sendAll();
        DeviceMonitor* monitor = &w->link().monitor();
        monitor->show();
        monitor->refresh();
        return monitor;
    }
    // A picture for the documentation, when OMBRIX_SCREENSHOT_DIR names a folder.
    static void saveShot(QWidget* window, const char* name) {
        const QByteArray dir = qgetenv("OMBRIX_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            window->grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
    }
    SimPort& simulator() {
        return dynamic_cast<SelectingPort&>(w->link().device().port()).simulator();
    }

    FakeClock clock;
    std::unique_ptr<TOmbrix> w;
    TSettingsForm* settings = nullptr;
    QStringList messages;
};

TEST_F(DeviceMonitorTest, LineLogListsTheFramesOfASessionInOrder) {
    w->link().lineLog().show();
    w->actions().connectButton->click();
    testkit::waitForLink(*w);
    ASSERT_TRUE(w->link().device().isConnected());
    sendAll();
    w->actions().disconnectButton->click();
    testkit::waitForLink(*w);
    w->link().lineLog().fetch();

    // The default forms: 1000 Hz, 1000 samples on Output 1, both references 4096 mV.
    const TimingWords t = timingWords(1000, 1000, 20, 29).words;
    const QString frequency = QString("Frequency 1000 Hz: %1, %2, %3")
                                  .arg(t.OuterCount)
                                  .arg(t.InnerCount)
                                  .arg(t.Remainder);
    const QString reference = QString("Reference %1 / %1").arg(referenceCode(4096));
    // Connect: check, line speed, check again; Send all: stop, sweep off, the block, frequency,
    // reference, sweep off; Disconnect: closing run mask, sweep off, back to 9600 baud.
    const QStringList expected = {
        "CmdSystem Check connection (0)",
        "CmdLineSpeed Line speed 9600 baud",
        "CmdSystem Check connection (0)",
        "CmdRunMask Run mask 0x00",
        "CmdSweep Sweep off",
        "CmdSamples Samples output 1, N 1000, mask 0x01; 1000 words",
        "CmdFrequency " + frequency,
        "CmdReference " + reference,
        "CmdSweep Sweep off",
        "CmdRunMask Run mask 0x00, closing",
        "CmdSweep Sweep off",
        "CmdLineSpeed Line speed 9600 baud, returning",
    };
    QStringList sent;
    int replies = 0;
    QTreeWidget* tree = w->link().lineLog().tree();
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = tree->topLevelItem(i);
        std::printf("%s\n", qPrintable(item->text(0) + " " + item->text(1) + " " + item->text(2) +
                                       " " + item->text(3) + " " + item->text(4)));
        if (item->text(1) == "Received") {
            ++replies;
            EXPECT_EQ(item->text(4), "OK") << i;
            EXPECT_NE(item->foreground(0).color(), QColor(Qt::red));
            continue;
        }
        // The block's CRC is its own business; the codes are below it, sixteen a row.
        sent << (item->text(2) + " " + item->text(3)).section("; 1000 words", 0, 0) +
                    (item->text(2) == "CmdSamples" ? "; 1000 words" : "");
        if (item->text(2) == "CmdSamples") {
            EXPECT_EQ(item->childCount(), (1000 + 15) / 16);
        }
    }
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(replies, 10); // the line-speed frames get none
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    // Saved as text, one line a frame or reply and the block's code rows; Clear empties it.
    QTemporaryDir dir;
    const QString path = dir.filePath("line.txt");
    ASSERT_EQ(w->link().lineLog().saveTo(path), QString());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString(file.readAll()).count('\n'), 22 + (1000 + 15) / 16);
    saveShot(&w->link().lineLog(), "line-log");
    w->link().lineLog().clear();
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    // Closed, the log records nothing.
    w->link().lineLog().close();
    w->actions().connectButton->click();
    testkit::waitForLink(*w);
    EXPECT_TRUE(w->link().device().lineRecorder().entries().empty());
}

// Output 1 a sine, 2 a pulse, 3 an equation, all active.
FormsConfig threeKinds() {
    FormsConfig f = startupForms();
    f.General.Active = {true, true, true, false, false, false};
    f.General.Freq = "333";
    f.General.NumOfSam = "700";
    f.Outputs[0].Harmonics[0] = {"1.5", "0", true};
    f.Outputs[0].Harmonics[2] = {"0.4", "30", true};
    f.Outputs[1].Form = FormKind::Pulse;
    f.Outputs[1].Pulse = {"-1", "2", "20", "5", "30", "5"};
    f.Outputs[2].Form = FormKind::Equation;
    f.Outputs[2].Equation = "0.5*sin(X)+0.3*sin(3*X)";
    return f;
}

TEST_F(DeviceMonitorTest, MonitorShowsWhatTheSimulatorHoldsAndFlagsADifferingDevice) {
    DeviceMonitor* monitor = sendAndShowMonitor(threeKinds());
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    const auto& forms = w->link().device().formsInput().samples;
    const double step = sampleStep(4096);
    const DeviceImage& image = monitor->image();
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k + 1);
        const OutputImage& out = image.outputs[static_cast<std::size_t>(k)];
        ASSERT_EQ(out.samples, 700u);
        ASSERT_EQ(out.volts.size(), 1400u); // two periods
        double worst = 0;
        for (std::size_t j = 0; j < out.volts.size(); ++j)
            worst = std::max(worst, std::fabs(out.volts[j] - forms[k][j % 700]));
        EXPECT_LE(worst, step);
        // Two periods of real time at the played frequency.
        EXPECT_NEAR(out.timeMs.back() + out.timeMs[1], 2000.0 / out.hz, 1e-9);
    }
    // The frequency the forms page already shows the device will play.
    const QString shown = w->general().realFreq->text();
    ASSERT_TRUE(shown.startsWith("Device plays ")) << shown.toStdString();
    const QString number = shown.section(' ', 2, 2);
    const int decimals = number.contains('.') ? static_cast<int>(number.section('.', 1).size()) : 0;
    EXPECT_NEAR(image.outputs[0].hz, number.toDouble(), 0.5 * std::pow(10.0, -decimals));
    EXPECT_FALSE(monitor->difference().any());
    EXPECT_TRUE(w->deviceDiffersLabel()->text().isEmpty());

    // Output 2's samples changed behind the program's back: two codes off at one sample.
    simulator().withGenerator([](SimGenerator& g) {
        std::vector<std::uint16_t> codes = g.state().samples[1];
        codes[350] = static_cast<std::uint16_t>(codes[350] + 2);
        const CommandFrame header = samplesHeader(1, 1, 700, g.state().activeMask);
        std::vector<std::uint8_t> bytes(header.bytes.begin(), header.bytes.end());
        for (std::uint16_t c : codes)
            for (std::uint8_t b : wordBytes(c))
                bytes.push_back(b);
        for (std::uint8_t b : wordBytes(Crc16Words(codes, header.crc(), true)))
            bytes.push_back(b);
        g.receive(bytes);
        g.takeOutput();
    });
    monitor->refresh();
    EXPECT_EQ(monitor->difference().text(), "Output 2");
    EXPECT_EQ(w->deviceDiffersLabel()->text(), "Device differs: Output 2");
    EXPECT_TRUE(monitor->findChild<QLabel*>("MonitorCaption2")->text().contains("differs"));
    // The next transfer puts the forms back on the device and clears the flag.
    sendAll();
    EXPECT_TRUE(w->deviceDiffersLabel()->text().isEmpty());
}

// One figure for the frequency error: 750 Hz at 1000 samples plays 754.717 Hz (53 cycles of
// 25 ns a sample), +6289.3 ppm against what was typed, under the frequency field, in the
// control panel and in the monitor alike.
TEST_F(DeviceMonitorTest, FrequencyErrorIsTheSameFigureEverywhere) {
    FormsConfig f = w->document().forms();
    f.General.Freq = "750";
    f.General.NumOfSam = "1000";
    DeviceMonitor* monitor = sendAndShowMonitor(f);
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    const QString sep(QChar(w->decimalSeparator()));
    const QString figure = "+6289" + sep + "3 ppm";
    EXPECT_TRUE(w->general().realFreq->text().endsWith("(" + figure + ")"))
        << w->general().realFreq->text().toStdString();
    EXPECT_TRUE(w->controlPanel().realFreq->text().endsWith("(" + figure + ")"))
        << w->controlPanel().realFreq->text().toStdString();
    const QString caption = monitor->findChild<QLabel*>("MonitorCaption1")->text();
    EXPECT_TRUE(caption.contains("(" + figure + " against the forms)")) << caption.toStdString();
    EXPECT_FALSE(monitor->difference().any()); // the device holds what the forms send
}

TEST_F(DeviceMonitorTest, SweepIsDrawnAsItsFrequencyStepsOverTime) {
    FormsConfig f = threeKinds();
    f.General.SwapEnabled = true;
    f.General.StartFreq = "100";
    f.General.StopFreq = "400";
    f.General.Step = "100";
    f.General.Time = "25";
    DeviceMonitor* monitor = sendAndShowMonitor(f);
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    const DeviceImage& image = monitor->image();
    // Four steps of 25 ms, the last drawn to its end; each at what the device really plays for
    // its asked frequency with the 700 samples held.
    ASSERT_EQ(image.sweepHz.size(), 5u);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_DOUBLE_EQ(image.sweepTimeMs[k], 25.0 * static_cast<double>(k));
        const auto played = realFrequency(100.0 * static_cast<double>(k + 1), 700, 20, 29);
        ASSERT_TRUE(played);
        EXPECT_NEAR(image.sweepHz[k], played->hz, 1e-9 * played->hz);
    }
    EXPECT_DOUBLE_EQ(image.sweepTimeMs[4], 100);
    saveShot(monitor, "device-monitor");
}

} // namespace
} // namespace ombrix
