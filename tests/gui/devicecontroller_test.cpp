// The device controller bound to the main window offscreen: the enabled states of the
// connection-state table, the Setup menu during a transfer, refusals, shut-down, and the
// whole way from the forms to what the generator holds, through the in-process "Simulator"
// and through ombrix-devsim on a pseudo terminal.
#include "app/ombrix.h"
#include "gui/charts/chartmenu.h"
#include "gui/device/devicecontroller.h"
#include "gui/dialogs/settingsform.h"
#include "linkwait.h"
#include "simprobe.h"
#include "testkit/fakeclock.h"
#include "testkit/spawnline.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ombrix {
namespace {

using Codes = std::vector<long>;

// The numbers of the JSON array that follows `key` (from `from` on) in a state text.
Codes jsonArray(const std::string& json, const std::string& key, std::size_t from = 0) {
    Codes values;
    const std::size_t at = json.find(key, from);
    if (at == std::string::npos)
        return values;
    std::size_t i = json.find('[', at);
    const std::size_t end = json.find(']', i);
    std::istringstream in(json.substr(i + 1, end - i - 1));
    std::string item;
    while (std::getline(in, item, ','))
        if (!item.empty())
            values.push_back(std::stol(item));
    return values;
}

Codes outputCodes(const std::string& json, int output) {
    const std::size_t at = json.find("{\"output\": " + std::to_string(output) + ",");
    return at == std::string::npos ? Codes{} : jsonArray(json, "\"codes\":", at);
}

long jsonNumber(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\": ");
    return at == std::string::npos ? -1 : std::stol(json.substr(at + key.size() + 4));
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class DeviceControllerTest : public ::testing::Test {
  protected:
    void TearDown() override { w.reset(); }

    // The window with its device link on `port`, which runs on `clock`.
    void bindController(std::unique_ptr<SerialPort> port, Clock& clock) {
        w = std::make_unique<TOmbrix>(LinkSetup{
            std::move(port), &clock, [] { return std::optional(QStringList{"Simulator"}); }});
        w->setMessageHandler(
            [this](const QString& text, const QString&) { calcMessages.push_back(text); });
        w->calculation().finishCalculation();
        settings = &w->settingsForm();
        controller = &w->link().device();
        controller->setMessageHook([this](const MessageRequest& r) {
            messages.push_back(r.text);
            return true;
        });
    }
    void bindToSimulator() {
        bindController(testkit::makeUnpacedProgramPort(clock), clock);
        portPtr = &controller->port();
    }
    std::string simState() { return testkit::simulatorStateJson(*portPtr); }

    // Chooses the port in the settings dialog and accepts it.
    void choosePort(const QString& name) {
        settings->PortSelect_ComboBox->setEditText(name);
        settings->ButtonOKClick();
    }

    // Outputs 1 (sine), 3 (pulse) and 6 (equation) active with `samples` per period, and a
    // sweep of 100, 200 and 300 Hz.
    void threeOutputsAndASweep(const QString& samples) {
        GeneralPage& g = w->general();
        g.NumOfSam->setText(samples);
        g.activeBox[2]->setChecked(true);
        g.activeBox[5]->setChecked(true);
        OutputPage& sine = w->output(0);
        sine.amplitude[0]->setText("1");
        sine.en[0]->setChecked(true);
        OutputPage& pulse = w->output(2);
        pulse.formItems[1]->setChecked(true);
        pulse.pulse[0]->setText("1.5");
        pulse.pulse[1]->setText("-0.5");
        OutputPage& equation = w->output(5);
        equation.formItems[2]->setChecked(true);
        equation.equation->setPlainText("X/100");
        g.SwapEnabled->setChecked(true);
        g.StartFreq->setText("100");
        g.StopFreq->setText("300");
        g.StepComboBox->setEditText("100");
        g.Time->setText("250");
        w->calculation().CalculateForms(0, kOutputCount - 1);
        w->calculation().finishCalculation();
    }

    // What the generator must hold after the transfer of threeOutputsAndASweep.
    void expectGeneratorHoldsTheForms(const std::string& json, int n) {
        const double step1 = 4096.0 / 1000 / 4096;
        const double step2 = 2048.0 / 1000 / 4096;
        for (int output : {1, 3, 6}) {
            const std::vector<double>& volts = w->calculation().samples(output - 1);
            ASSERT_EQ(static_cast<int>(volts.size()), n) << output;
            Codes expected;
            for (double v : volts)
                expected.push_back(sampleCode(v, output < 3 ? step1 : step2));
            EXPECT_EQ(outputCodes(json, output), expected) << output;
            // Each output really plays something of its own.
            EXPECT_NE(expected, Codes(static_cast<std::size_t>(n), 0x1000)) << output;
        }
        EXPECT_TRUE(outputCodes(json, 2).empty());
        EXPECT_EQ(jsonNumber(json, "active_mask"), 0x25);
        EXPECT_EQ(jsonArray(json, "\"reference_codes\":"), (Codes{8191, 4095}));
        const TimingWords t = timingWords(1000, n, 20, 29).words;
        EXPECT_EQ(jsonNumber(json, "outer"), t.OuterCount);
        EXPECT_EQ(jsonNumber(json, "inner"), t.InnerCount);
        EXPECT_EQ(jsonNumber(json, "remainder"), t.Remainder);
        Codes table;
        for (double f : {100.0, 200.0, 300.0}) {
            const TimingWords s = timingWords(f, n, 20, 29).words;
            table.insert(table.end(), {s.OuterCount, s.InnerCount, s.Remainder});
        }
        EXPECT_EQ(jsonArray(json, "\"table\":"), table);
        EXPECT_EQ(jsonNumber(json, "step_time_ms"), 250);
        EXPECT_EQ(jsonNumber(json, "frames_rejected"), 0);
    }

    struct Enabled {
        bool sendAll, stop, connect, disconnect;
        bool operator==(const Enabled&) const = default;
    };
    Enabled enabled() const {
        return {w->actions().sendAllButton->isEnabled(), w->actions().stopButton->isEnabled(),
                w->actions().connectButton->isEnabled(),
                w->actions().disconnectButton->isEnabled()};
    }
    bool setupEnabled() const {
        return w->actions().checkConnection->isEnabled() && w->actions().dspVersion->isEnabled() &&
               w->actions().resetDsp->isEnabled();
    }
    bool waitForTransferEnd(int ms) { return testkit::waitForLink(*controller, ms); }
    // Waits for the link to end what was asked of it.
    void settle() { ASSERT_TRUE(testkit::waitForLink(*controller)); }
    QString panel(int k) const { return w->statusPanel(k)->text(); }
    // Saves a picture of the main window when OMBRIX_SCREENSHOT_DIR names a folder.
    void saveShot(const char* name) {
        const QByteArray dir = qgetenv("OMBRIX_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            w->grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
    }

    FakeClock clock; // outlives the window and the device that reads it
    std::unique_ptr<TOmbrix> w;
    TSettingsForm* settings = nullptr;
    DeviceController* controller = nullptr; // the window's
    SerialPort* portPtr = nullptr;
    std::vector<QString> messages;
    std::vector<QString> calcMessages;
};

TEST_F(DeviceControllerTest, ConnectionStatesFollowTheTable) {
    bindToSimulator();
    EXPECT_EQ(enabled(), (Enabled{false, false, true, false}));
    choosePort("Simulator");
    EXPECT_EQ(panel(1), "Port: Simulator 9600 bps");
    QSignalSpy changed(controller, &DeviceController::linkStateChanged);
    w->actions().connectButton->click();
    settle();
    EXPECT_TRUE(controller->isConnected());
    EXPECT_EQ(panel(0), "Connected");
    EXPECT_EQ(enabled(), (Enabled{true, false, false, true}));
    EXPECT_FALSE(controller->panelButtonsEnabled());
    EXPECT_GE(changed.count(), 1);

    // The spectrum views have no samples to send.
    w->chartMenu()->FFTamplitude1->trigger();
    w->calculation().finishCalculation();
    EXPECT_FALSE(w->actions().sendAllButton->isEnabled());
    w->chartMenu()->Form1->trigger();
    w->calculation().finishCalculation();
    EXPECT_TRUE(w->actions().sendAllButton->isEnabled());

    w->actions().disconnectButton->click();
    settle();
    EXPECT_FALSE(controller->isConnected());
    EXPECT_EQ(panel(0), "Disonnected");
    EXPECT_EQ(enabled(), (Enabled{false, false, true, false}));
    const std::string json = simState();
    EXPECT_EQ(jsonNumber(json, "baud"), 9600);
    EXPECT_EQ(jsonNumber(json, "run_mask"), 0);
    EXPECT_TRUE(messages.empty());

    // A port that does not exist: the open failure, nothing connected.
    choosePort("/dev/ombrix-no-such-port");
    w->actions().connectButton->click();
    settle();
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0], QString::fromUtf8("Niewłaściwa nazwa portu lub port jest aktywny."));
    EXPECT_EQ(enabled(), (Enabled{false, false, true, false}));
}

TEST_F(DeviceControllerTest, SendAllThroughTheSimulatorMatchesTheSampleStore) {
    bindToSimulator();
    settings->VRef2Edit->setText("2048");
    choosePort("Simulator");
    threeOutputsAndASweep("64");
    ASSERT_TRUE(calcMessages.empty());
    w->actions().connectButton->click();
    settle();
    ASSERT_EQ(panel(0), "Connected");

    w->actions().sendAllButton->click();
    // While it runs: only Stop, and no Setup command that shares the port.
    EXPECT_TRUE(controller->transferRunning());
    EXPECT_EQ(enabled(), (Enabled{false, true, false, false}));
    EXPECT_FALSE(setupEnabled());
    ASSERT_TRUE(waitForTransferEnd(10000));
    QCoreApplication::processEvents();

    // Connected after a transfer; the sweep keeps the panel's frequency controls disabled.
    EXPECT_EQ(enabled(), (Enabled{true, false, false, true}));
    EXPECT_TRUE(setupEnabled());
    EXPECT_TRUE(controller->panelButtonsEnabled());
    EXPECT_FALSE(controller->panelFrequencyEnabled());
    EXPECT_EQ(w->progressBar()->maximum(), 64 + 2 + 1 + 2 * 64);
    EXPECT_EQ(w->progressBar()->value(), w->progressBar()->maximum());
    EXPECT_TRUE(messages.empty());
    expectGeneratorHoldsTheForms(simState(), 64);

    // "Change &frequency" sends the main frequency alone.
    w->general().Freq->setText("50");
    w->actions().sendAllButton->menu()->actions()[2]->trigger();
    settle();
    const TimingWords t = timingWords(50, 64, 20, 29).words;
    EXPECT_EQ(jsonNumber(simState(), "remainder"), t.Remainder);
}

TEST_F(DeviceControllerTest, RefusedTransfersSendNothingAndKeepTheLink) {
    bindToSimulator();
    choosePort("Simulator");
    w->actions().connectButton->click();
    settle();
    const long framesBefore = jsonNumber(simState(), "frames_decoded");

    // Faster than the device can play: a clear message, nothing wrapped and sent.
    w->general().Freq->setText("100000");
    w->actions().sendAllButton->click();
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_TRUE(messages[0].contains("too high")) << messages[0].toStdString();
    EXPECT_FALSE(controller->transferRunning());
    EXPECT_EQ(jsonNumber(simState(), "frames_decoded"), framesBefore);
    EXPECT_EQ(enabled(), (Enabled{true, false, false, true}));

    // A sweep whose end is below its start.
    messages.clear();
    w->general().Freq->setText("50");
    w->general().SwapEnabled->setChecked(true);
    w->general().StartFreq->setText("300");
    w->general().StopFreq->setText("100");
    w->actions().sendAllButton->menu()->actions()[0]->trigger();
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_TRUE(messages[0].contains("below")) << messages[0].toStdString();
    EXPECT_EQ(jsonNumber(simState(), "frames_decoded"), framesBefore);

    // Stop with no transfer running only resets the progress bar.
    w->progressBar()->setValue(40);
    w->actions().stopButton->setEnabled(true);
    w->actions().stopButton->click();
    EXPECT_EQ(w->progressBar()->value(), 0);
    EXPECT_FALSE(controller->commands().StopRequested);
}

TEST_F(DeviceControllerTest, ShutdownSendsTheClosingFramesOnlyWhileConnected) {
    bindToSimulator();
    controller->shutdown(); // not connected: nothing happens
    EXPECT_EQ(jsonNumber(simState(), "frames_decoded"), 0);

    choosePort("Simulator");
    settings->BaudRate_ComboBox->setCurrentIndex(7);
    w->actions().connectButton->click();
    settle();
    EXPECT_EQ(jsonNumber(simState(), "baud"), 57600);
    w->actions().sendAllButton->menu()->actions()[1]->trigger(); // "Send &samples"
    ASSERT_TRUE(waitForTransferEnd(10000));
    controller->shutdown();
    const std::string json = simState();
    EXPECT_FALSE(controller->isConnected());
    EXPECT_EQ(jsonNumber(json, "baud"), 9600);
    EXPECT_EQ(json.find("\"run_mask_closing\": true") != std::string::npos, true);
    EXPECT_TRUE(messages.empty());
    // The window is left alone.
    EXPECT_EQ(panel(0), "Connected");
}

TEST_F(DeviceControllerTest, ProgressMovesWhileThePacedSimulatorPlaysTheLine) {
    // The program's own port: the simulator takes the line time of every byte at 9600 baud.
    bindController(makeProgramDevicePort(systemClock(), true), systemClock());
    choosePort("Simulator");
    w->general().NumOfSam->setText("400");
    w->output(0).amplitude[0]->setText("2");
    w->output(0).en[0]->setChecked(true);
    w->calculation().CalculateForms(0, kOutputCount - 1);
    w->calculation().finishCalculation();
    w->show();
    w->actions().connectButton->click();
    settle();
    ASSERT_EQ(panel(0), "Connected");
    w->actions().sendAllButton->click();
    QProgressBar* bar = w->progressBar();
    // 800 bytes take about 830 ms at 9600 baud: the bar is seen part-way.
    for (int i = 0; i < 200 && bar->value() < 100; ++i)
        QTest::qWait(10);
    EXPECT_GT(bar->value(), 0);
    EXPECT_LT(bar->value(), bar->maximum());
    EXPECT_EQ(enabled(), (Enabled{false, true, false, false}));
    saveShot("transfer-running");
    ASSERT_TRUE(waitForTransferEnd(20000));
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->maximum(), 401); // N + K + 1 with no sweep: one step per word
    EXPECT_EQ(bar->value(), 400);
    EXPECT_EQ(enabled(), (Enabled{true, false, false, true}));
    EXPECT_TRUE(controller->panelButtonsEnabled());
    EXPECT_TRUE(controller->panelFrequencyEnabled());
    EXPECT_TRUE(messages.empty());
    saveShot("connected-after-transfer");
}

// ---- through a pseudo terminal ----

// One ombrix-devsim process writing its state file; stopped at the end.
class Devsim {
  public:
    Devsim() {
        char dir[] = "/tmp/ombrix-cmd-XXXXXX";
        dir_ = mkdtemp(dir) ? dir : "";
        std::vector<std::string> args = {OMBRIX_DEVSIM, "--state", statePath(), "--log",
                                         dir_ + "/frames.log"};
        pid_ = testkit::spawnReadingFirstLine(std::move(args), path_);
    }
    ~Devsim() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
        }
        std::system(("rm -rf " + dir_).c_str());
    }
    const std::string& path() const { return path_; }
    std::string statePath() const { return dir_ + "/state.json"; }

  private:
    std::string dir_;
    std::string path_;
    pid_t pid_ = -1;
};

TEST_F(DeviceControllerTest, SendAllThroughDevsimOnAPseudoTerminal) {
    Devsim sim;
    ASSERT_FALSE(sim.path().empty());
    bindController(makeProgramDevicePort(systemClock(), false), systemClock());
    settings->VRef2Edit->setText("2048");
    settings->BaudRate_ComboBox->setCurrentIndex(6);
    choosePort(QString::fromStdString(sim.path()));
    ASSERT_EQ(settings->settings().PortName, sim.path());
    threeOutputsAndASweep("32");
    w->actions().connectButton->click();
    settle();
    ASSERT_EQ(panel(0), "Connected") << messages.size();
    w->actions().sendAllButton->click();
    ASSERT_TRUE(waitForTransferEnd(60000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(messages.empty()) << messages.front().toStdString();
    EXPECT_EQ(enabled(), (Enabled{true, false, false, true}));

    // The state file follows every frame; wait (bounded) for the last one.
    std::string json;
    for (int i = 0; i < 100; ++i) {
        json = readFile(sim.statePath());
        if (jsonArray(json, "\"table\":").size() == 9)
            break;
        QTest::qWait(50);
    }
    EXPECT_EQ(jsonNumber(json, "baud"), 38400);
    expectGeneratorHoldsTheForms(json, 32);

    w->actions().disconnectButton->click();
    settle();
    EXPECT_EQ(panel(0), "Disonnected");
    for (int i = 0; i < 100 && jsonNumber(json, "baud") != 9600; ++i) {
        QTest::qWait(50);
        json = readFile(sim.statePath());
    }
    EXPECT_EQ(jsonNumber(json, "baud"), 9600);
    EXPECT_TRUE(messages.empty());
}

} // namespace
} // namespace ombrix
