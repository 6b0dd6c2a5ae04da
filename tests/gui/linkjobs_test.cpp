// The device link on its own thread, seen from the window: every command puts the same
// frames, pauses and replies on the line as when the window waited for the device itself
// (the rows below were taken from the line log of that program); the time-outs of a silent
// device reach the user one box at a time, in the order asked; and a burst of control panel
// frequencies ends with the device on the last one, one frame per exchange at most.
#include "app/ombrix.h"
#include "core/device/encodings.h"
#include "core/device/linelog.h"
#include "core/device/selectingport.h"
#include "core/device/simport.h"
#include "gui/device/controlpanel.h"
#include "gui/device/devicecontroller.h"
#include "gui/dialogs/settingsform.h"
#include "simprobe.h"
#include "simwindow.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ombrix {
namespace {

using Rows = std::vector<std::string>;

// The line since `cursor`: one row a frame or reply, "<job>|+<ms since start> ...", with a
// reply's result and wait.
Rows lineRows(LineRecorder& recorder, std::uint64_t& cursor, std::uint64_t start,
              const std::string& job) {
    Rows rows;
    for (const LineEntry& e : recorder.entriesSince(cursor)) {
        std::string row = job + "|+" + std::to_string(e.timeMs - start) + " " + e.command + " ";
        row += e.direction == LineDirection::Sent ? e.meaning
                                                  : e.status + " " + std::to_string(e.tookMs);
        rows.push_back(row);
    }
    cursor = recorder.recorded();
    return rows;
}

class LinkJobsTest : public ::testing::Test, protected testkit::SimulatorWindow {
  protected:
    void SetUp() override {
        w->calculation().finishCalculation();
        recorder().setLogging(true);
        start_ = clock.Ticks();
        settings->PortSelect_ComboBox->setEditText("Simulator");
        settings->ButtonOKClick();
    }
    DeviceController& device() { return w->link().device(); }
    LineRecorder& recorder() { return device().lineRecorder(); }
    // Does `act`, waits for the link, and adds the line it wrote under `job`.
    void run(const char* job, const std::function<void()>& act) {
        act();
        testkit::waitForLink(*w);
        for (std::string& row : lineRows(recorder(), cursor_, start_, job))
            line_.push_back(std::move(row));
    }

    std::uint64_t start_ = 0;
    std::uint64_t cursor_ = 0;
    Rows line_;
};

TEST_F(LinkJobsTest, EveryCommandPutsTheSameLineAsBefore) {
    QMenu* send = w->actions().sendAllButton->menu();
    run("check-closed", [&] { w->actions().checkConnection->trigger(); });
    run("version-closed", [&] { w->actions().dspVersion->trigger(); });
    run("reset-closed", [&] { w->actions().resetDsp->trigger(); });
    run("connect", [&] { w->actions().connectButton->click(); });
    run("check", [&] { w->actions().checkConnection->trigger(); });
    run("version", [&] { w->actions().dspVersion->trigger(); });
    run("frequency", [&] { send->actions()[2]->trigger(); });
    run("reference", [&] { send->actions()[3]->trigger(); });
    run("sendall", [&] { ASSERT_TRUE(sendAll()); });
    run("panel-start", [&] { panel->Button15->click(); });
    run("panel-frequency", [&] { panel->setFrequencyText("500"); });
    run("reset", [&] { w->actions().resetDsp->trigger(); });
    run("disconnect", [&] { w->actions().disconnectButton->click(); });
    const Rows expected = {
        "check-closed|+0 CmdSystem Check connection (0)",
        "check-closed|+300 Reply OK 300",
        "version-closed|+300 CmdSystem Check connection (0)",
        "version-closed|+600 Reply OK 300",
        "version-closed|+600 CmdSystem Program version (2)",
        "version-closed|+700 Reply OK 100",
        "reset-closed|+700 CmdSystem Check connection (0)",
        "reset-closed|+1000 Reply OK 300",
        "reset-closed|+1000 CmdSystem Reset (3)",
        "reset-closed|+1100 Reply OK 100",
        "connect|+1100 CmdSystem Check connection (0)",
        "connect|+1400 Reply OK 300",
        "connect|+1400 CmdLineSpeed Line speed 9600 baud",
        "connect|+1500 CmdSystem Check connection (0)",
        "connect|+1800 Reply OK 300",
        "check|+1800 CmdSystem Check connection (0)",
        "check|+2100 Reply OK 300",
        "check|+2100 CmdRunMask Run mask 0x00",
        "check|+2200 Reply OK 100",
        "version|+2200 CmdRunMask Run mask 0x00",
        "version|+2300 Reply OK 100",
        "version|+2300 CmdSystem Program version (2)",
        "version|+2400 Reply OK 100",
        "frequency|+2400 CmdFrequency Frequency 1000 Hz: 1, 1, 11",
        "frequency|+2500 Reply OK 100",
        "reference|+2500 CmdReference Reference 8191 / 8191",
        "reference|+2600 Reply OK 100",
        "sendall|+2600 CmdRunMask Run mask 0x00",
        "sendall|+2700 Reply OK 100",
        "sendall|+2700 CmdSweep Sweep off",
        "sendall|+2800 Reply OK 100",
        "sendall|+2800 CmdSamples Samples output 1, N 1000, mask 0x01; 1000 words, CRC 0xB884",
        "sendall|+2900 Reply OK 100",
        "sendall|+2900 CmdFrequency Frequency 1000 Hz: 1, 1, 11",
        "sendall|+3000 Reply OK 100",
        "sendall|+3000 CmdReference Reference 8191 / 8191",
        "sendall|+3100 Reply OK 100",
        "sendall|+3100 CmdSweep Sweep off",
        "sendall|+3200 Reply OK 100",
        "panel-start|+3200 CmdRunMask Run mask 0x01",
        "panel-start|+3300 Reply OK 100",
        "panel-frequency|+3300 CmdFrequency Frequency 500 Hz: 1, 1, 51",
        "panel-frequency|+3400 Reply OK 100",
        "reset|+3400 CmdSystem Check connection (0)",
        "reset|+3700 Reply OK 300",
        "reset|+3700 CmdRunMask Run mask 0x00",
        "reset|+3800 Reply OK 100",
        "reset|+3800 CmdSystem Reset (3)",
        "reset|+3900 Reply OK 100",
        "reset|+3900 CmdSystem Check connection (0)",
        "reset|+4200 Reply OK 300",
        "reset|+4200 CmdLineSpeed Line speed 9600 baud",
        "reset|+4300 CmdSystem Check connection (0)",
        "reset|+4600 Reply OK 300",
        "disconnect|+4600 CmdRunMask Run mask 0x00, closing",
        "disconnect|+4700 Reply OK 100",
        "disconnect|+4700 CmdSweep Sweep off",
        "disconnect|+4800 Reply OK 100",
        "disconnect|+4800 CmdLineSpeed Line speed 9600 baud, returning",
    };
    EXPECT_EQ(line_, expected);
    const std::vector<QString> boxes = {"Connection OK.", "DSP program version: SIM 1.0",
                                        "Connection OK.", "DSP program version: SIM 1.0"};
    EXPECT_EQ(messages, boxes);
    EXPECT_EQ(panel->playing[0]->text(), ""); // the reset stopped what Start all started
}

TEST_F(LinkJobsTest, SilentDeviceTimeOutsComeOneBoxAtATimeInOrder) {
    run("connect", [&] { w->actions().connectButton->click(); });
    dynamic_cast<SelectingPort&>(device().port()).simulator().withGenerator([](SimGenerator& g) {
        g.faults().silent = true;
    });
    // A box holds its own event loop while the user reads it: later reports wait for it.
    bool open = false;
    bool overlapped = false;
    device().setMessageHook([&](const MessageRequest& r) {
        overlapped = overlapped || open;
        open = true;
        messages.push_back(r.text);
        QTest::qWait(5);
        open = false;
        return true;
    });
    // Four commands asked at once, as a remote client may; each outcome names its time-outs.
    std::vector<LinkOutcome> outcomes;
    auto collect = [&](const LinkOutcome& o) { outcomes.push_back(o); };
    for (LinkJobKind kind : {LinkJobKind::ShowVersion, LinkJobKind::ChangeFrequency,
                             LinkJobKind::ChangeReference, LinkJobKind::CheckConnection})
        device().request({kind}, collect);
    EXPECT_EQ(device().linkState(), LinkState::Busy);
    testkit::waitForLink(*w);
    for (std::string& row : lineRows(recorder(), cursor_, start_, ""))
        line_.push_back(std::move(row));
    const Rows expected = {
        "connect|+0 CmdSystem Check connection (0)",
        "connect|+300 Reply OK 300",
        "connect|+300 CmdLineSpeed Line speed 9600 baud",
        "connect|+400 CmdSystem Check connection (0)",
        "connect|+700 Reply OK 300",
        "|+700 CmdRunMask Run mask 0x00",
        "|+1301 Reply Time-out 601",
        "|+1801 CmdSystem Program version (2)",
        "|+2402 Reply Time-out 601",
        "|+2902 CmdFrequency Frequency 1000 Hz: 1, 1, 11",
        "|+3503 Reply Time-out 601",
        "|+4003 CmdReference Reference 8191 / 8191",
        "|+4604 Reply Time-out 601",
        "|+5104 CmdSystem Check connection (0)",
        "|+5905 Reply Time-out 801",
        "|+5905 CmdRunMask Run mask 0x00, closing",
        "|+6506 Reply Time-out 601",
        "|+6506 CmdSweep Sweep off",
        "|+7107 Reply Time-out 601",
        "|+7107 CmdLineSpeed Line speed 9600 baud, returning",
    };
    EXPECT_EQ(line_, expected);
    const QString timeOut = "Respond error: time out!";
    const std::vector<QString> boxes = {
        timeOut, timeOut, timeOut, timeOut, timeOut, "Device not connected!", timeOut, timeOut};
    EXPECT_EQ(messages, boxes);
    EXPECT_FALSE(overlapped);
    ASSERT_EQ(outcomes.size(), 4U);
    const std::vector<std::size_t> errors = {2, 1, 1, 4};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(outcomes[i].status, LinkOutcome::Status::Done) << i;
        EXPECT_EQ(outcomes[i].errors.size(), errors[i]) << i;
    }
    EXPECT_TRUE(outcomes[2].connected);
    EXPECT_FALSE(outcomes[3].connected); // the failed test disconnected
    EXPECT_EQ(device().linkState(), LinkState::Disconnected);
    EXPECT_TRUE(w->actions().connectButton->isEnabled());
}

TEST(LinkJobsPaced, ABurstOfPanelFrequenciesEndsOnTheLastOne) {
    // The program's own port: the simulator takes each byte's line time at 9600 baud, and
    // every exchange its real pause.
    TOmbrix w(LinkSetup{makeProgramDevicePort(systemClock(), true), &systemClock(),
                        [] { return std::optional(QStringList{"Simulator"}); }});
    std::vector<QString> messages;
    DeviceController& device = w.link().device();
    device.setMessageHook([&](const MessageRequest& r) {
        messages.push_back(r.text);
        return true;
    });
    w.general().NumOfSam->setText("50");
    w.calculation().CalculateForms(0, kOutputCount - 1);
    w.calculation().finishCalculation();
    w.settingsForm().PortSelect_ComboBox->setEditText("Simulator");
    w.settingsForm().ButtonOKClick();
    w.actions().connectButton->click();
    testkit::waitForLink(w);
    w.actions().sendAllButton->click();
    testkit::waitForLink(w);
    ASSERT_TRUE(device.panelFrequencyEnabled());
    LineRecorder& recorder = device.lineRecorder();
    recorder.setLogging(true);
    const std::uint64_t cursor = recorder.recorded();

    // 30 values as fast as the hand can type them; the window never waits for the line.
    QElapsedTimer burst;
    burst.start();
    TControlPanelForm& panel = w.controlPanel();
    for (int i = 1; i <= 30; ++i)
        panel.setFrequencyText(QString::number(100 + 10 * i));
    const qint64 burstMs = burst.elapsed();
    testkit::waitForLink(w);

    std::vector<std::uint64_t> sentAt;
    std::string last;
    for (const LineEntry& e : recorder.entriesSince(cursor))
        if (e.direction == LineDirection::Sent && e.command == "CmdFrequency") {
            sentAt.push_back(e.timeMs);
            last = e.meaning;
        }
    ASSERT_FALSE(sentAt.empty());
    // One frame per exchange (pause 100 ms and the reply) at most, and no more frames than
    // the burst lasted exchanges, plus the one on the line as it ended.
    for (std::size_t i = 1; i < sentAt.size(); ++i)
        EXPECT_GE(sentAt[i] - sentAt[i - 1], 100U) << i;
    EXPECT_LE(static_cast<qint64>(sentAt.size()), 2 + burstMs / 100) << burstMs;
    EXPECT_EQ(last.rfind("Frequency 400 Hz", 0), 0U) << last;
    const TimingWords t = timingWords(400, 50, kDefaultQuartzMHz, kDefaultInstructions).words;
    const SimState held = device.deviceState();
    EXPECT_EQ(held.timing.OuterCount, t.OuterCount);
    EXPECT_EQ(held.timing.InnerCount, t.InnerCount);
    EXPECT_EQ(held.timing.Remainder, t.Remainder);
    EXPECT_TRUE(messages.empty());
}

} // namespace
} // namespace ombrix
