// Device faults end to end: the main window, its control panel and settings dialog, the
// program's terminal port on the system clock and ombrix-devsim on a pseudo terminal with
// its fault options. Every scenario ends with the program usable again: the enabled states
// of the connection-state table, the port open or closed as the outcome leaves it, and the
// messages caught by the hook instead of modal boxes.
#include "app/ombrix.h"
#include "core/device/encodings.h"
#include "core/device/forwardingport.h"
#include "core/device/termiosport.h"
#include "gui/charts/chartmenu.h"
#include "gui/device/controlpanel.h"
#include "gui/device/devicecontroller.h"
#include "gui/dialogs/settingsform.h"
#include "linkwait.h"
#include "testkit/spawnline.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace ombrix {
namespace {

const QString kTimeOut = "Respond error: time out!";
const QString kCrcInvalid = "CRC invalid!";
const QString kBadFormat = "Invalid respond frame format!";
const QString kPortBusy = QString::fromUtf8("Niewłaściwa nazwa portu lub port jest aktywny.");

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The code words the generator holds for `output` (1..6) in its state text.
std::vector<long> outputCodes(const std::string& json, int output) {
    std::vector<long> values;
    const std::size_t at = json.find("{\"output\": " + std::to_string(output) + ",");
    if (at == std::string::npos)
        return values;
    const std::size_t key = json.find("\"codes\":", at);
    const std::size_t open = json.find('[', key);
    const std::size_t close = json.find(']', open);
    std::istringstream in(json.substr(open + 1, close - open - 1));
    std::string item;
    while (std::getline(in, item, ','))
        if (!item.empty())
            values.push_back(std::stol(item));
    return values;
}

long jsonNumber(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\": ");
    return at == std::string::npos ? -1 : std::stol(json.substr(at + key.size() + 4));
}

// One ombrix-devsim process with fault options, serving a pseudo terminal and writing its
// state file. Killed (the device disappears) or stopped at the end.
class Devsim {
  public:
    explicit Devsim(std::vector<std::string> faults = {}) {
        char dir[] = "/tmp/ombrix-faults-XXXXXX";
        dir_ = mkdtemp(dir) ? dir : "";
        std::vector<std::string> args = {OMBRIX_DEVSIM, "--state", statePath(), "--log",
                                         dir_ + "/frames.log"};
        args.insert(args.end(), faults.begin(), faults.end());
        pid_ = testkit::spawnReadingFirstLine(std::move(args), path_);
    }
    Devsim(const Devsim&) = delete;
    Devsim& operator=(const Devsim&) = delete;
    ~Devsim() {
        stop(SIGTERM);
        std::system(("rm -rf " + dir_).c_str());
    }
    // The device disappears at once: its side of the terminal goes with the process.
    void kill() { stop(SIGKILL); }
    // The device hangs: it neither reads nor answers any more, its terminal stays.
    void freeze() {
        if (pid_ > 0 && ::kill(pid_, SIGSTOP) == 0)
            frozen_ = true;
    }

    const std::string& path() const { return path_; }
    QString port() const { return QString::fromStdString(path_); }
    std::string statePath() const { return dir_ + "/state.json"; }
    std::string state() const { return readFile(statePath()); }

  private:
    void stop(int signal) {
        if (pid_ <= 0)
            return;
        // A frozen process is woken first: it takes its signal only once it runs. A running
        // one gets no SIGCONT, which could land while its exit-time leak check stops it
        // under ptrace, cancel that stop and leave the checker waiting for ever.
        if (frozen_)
            ::kill(pid_, SIGCONT);
        ::kill(pid_, signal);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }

    std::string dir_;
    std::string path_;
    pid_t pid_ = -1;
    bool frozen_ = false;
};

// The program's terminal port, which the test can move to another device while it stays
// open at the same speed: the link is made with a healthy generator, then a transfer meets a
// faulty one (devsim's faults hold from its first reply, so a faulty one cannot connect).
class MovablePort final : public ForwardingPort {
  public:
    MovablePort() { setTarget(&inner_); }
    bool OpenPort(const std::string& name, int baudIndex) override {
        baudIndex_ = baudIndex;
        return ForwardingPort::OpenPort(name, baudIndex);
    }
    // No line time is reckoned: the generators here run on an unpaced line, and a reply's
    // time-out counts from the moment its frame is written.
    int LineBaud() const override { return 0; }

    // Reopens on `path` at the speed of the last open.
    bool moveTo(const std::string& path) {
        inner_.ClosePort();
        if (!inner_.OpenPort(path, baudIndex_))
            return false;
        inner_.SetPortEvents();
        return true;
    }

  private:
    TermiosPort inner_;
    int baudIndex_ = kStartBaudIndex;
};

struct Enabled {
    bool sendAll, stop, connect, disconnect;
    bool operator==(const Enabled&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Enabled& e) {
    return os << "{sendAll " << e.sendAll << ", stop " << e.stop << ", connect " << e.connect
              << ", disconnect " << e.disconnect << "}";
}
const Enabled kStartUp{false, false, true, false};
const Enabled kConnected{true, false, false, true};

// One program instance: the main window with its control panel and settings dialog, and a
// device link over the program's terminal port (or a movable one) on the system clock.
struct Program {
    explicit Program(std::unique_ptr<SerialPort> port = nullptr) {
        if (!port)
            port = makeProgramDevicePort(systemClock(), false);
        w = std::make_unique<TOmbrix>(LinkSetup{std::move(port), &systemClock(),
                                                [] { return std::optional(QStringList{}); }});
        w->setMessageHandler([this](const QString& t, const QString&) { messages.push_back(t); });
        panel = &w->controlPanel();
        settings = &w->settingsForm();
        w->link().device().setMessageHook([this](const MessageRequest& r) {
            messages.push_back(r.text);
            return true;
        });
        w->calculation().finishCalculation();
        // Small periods at the highest line speed keep every scenario within seconds.
        w->general().NumOfSam->setText("64");
        settings->BaudRate_ComboBox->setCurrentIndex(7);
        w->calculation().CalculateForms(0, kOutputCount - 1);
        w->calculation().finishCalculation();
    }

    void choosePort(const QString& name) {
        settings->PortSelect_ComboBox->setEditText(name);
        settings->ButtonOKClick();
    }
    DeviceController& device() const { return *&w->link().device(); }
    // Waits for the link to end what was asked of it.
    void settle() const { testkit::waitForLink(device()); }
    Enabled enabled() const {
        return {w->actions().sendAllButton->isEnabled(), w->actions().stopButton->isEnabled(),
                w->actions().connectButton->isEnabled(),
                w->actions().disconnectButton->isEnabled()};
    }
    QString panel0() const { return w->statusPanel(0)->text(); }
    bool panelEnabled() const {
        for (int k = 0; k < kOutputCount; ++k)
            if (!panel->startButton[k]->isEnabled() || !panel->stopButton[k]->isEnabled())
                return false;
        return true;
    }
    bool panelDisabled() const {
        for (int k = 0; k < kOutputCount; ++k)
            if (panel->startButton[k]->isEnabled() || panel->stopButton[k]->isEnabled())
                return false;
        return true;
    }
    // Starts "&Send all" and waits (bounded) for the transfer's end steps on the GUI thread.
    bool sendAllAndWait() {
        QSignalSpy done(&device(), &DeviceController::transferFinished);
        w->actions().sendAllButton->click();
        if (!device().transferRunning())
            return false;
        if (!done.wait(30000))
            return false;
        QCoreApplication::processEvents();
        return true;
    }
    // Messages queued by the transfer thread are delivered by the event loop.
    void deliverMessages() {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
    bool allMessagesAre(const QString& text) const {
        return std::all_of(messages.begin(), messages.end(),
                           [&](const QString& m) { return m == text; });
    }
    std::string joinedMessages() const {
        std::string s;
        for (const QString& m : messages)
            s.append("[").append(m.toStdString()).append("] ");
        return s;
    }

    // Declared first: the window's shut-down still reports into it while it goes.
    std::vector<QString> messages;
    std::unique_ptr<TOmbrix> w;
    TControlPanelForm* panel = nullptr;
    TSettingsForm* settings = nullptr;
};

// Another program holding the terminal: the port is free again when this open succeeds.
bool portIsFree(const std::string& path) {
    TermiosPort probe;
    const bool free = probe.OpenPort(path, kStartBaudIndex);
    probe.ClosePort();
    return free;
}

TEST(DeviceFaults, SilentDeviceAtConnectLeavesThePortClosedAndConnectUsable) {
    Devsim sim({"--silent"});
    ASSERT_FALSE(sim.path().empty());
    Program p;
    p.choosePort(sim.port());
    p.w->actions().connectButton->click();
    p.settle();
    // The first connection test fails: the port is closed, the status bar left as it was.
    EXPECT_EQ(p.messages, std::vector<QString>{kTimeOut});
    EXPECT_FALSE(p.device().isConnected());
    EXPECT_EQ(p.panel0(), "Disconnected");
    EXPECT_EQ(p.enabled(), kStartUp);
    EXPECT_TRUE(p.panelDisabled());
    EXPECT_TRUE(portIsFree(sim.path()));
    // Connect again: the same outcome, not a busy port; the text of an earlier Disconnect
    // stays.
    p.w->statusPanel(0)->setText("Disonnected");
    p.messages.clear();
    p.w->actions().connectButton->click();
    p.settle();
    EXPECT_EQ(p.messages, std::vector<QString>{kTimeOut});
    EXPECT_EQ(p.enabled(), kStartUp);
    EXPECT_EQ(p.panel0(), "Disonnected");
}

TEST(DeviceFaults, DeviceFallingSilentAtTheSecondConnectionTest) {
    // The test at 9600 baud is answered; the one at the new speed is not.
    Devsim sim({"--stop-after", "1"});
    Program p;
    p.choosePort(sim.port());
    p.w->statusPanel(0)->setText("previous");
    p.w->actions().connectButton->click();
    p.settle();
    EXPECT_EQ(p.messages, std::vector<QString>{kTimeOut});
    EXPECT_FALSE(p.device().isConnected());
    EXPECT_EQ(p.panel0(), "Disconnected");
    EXPECT_EQ(p.enabled(), kStartUp);
    EXPECT_TRUE(p.panelDisabled());
    EXPECT_TRUE(portIsFree(sim.path()));
}

TEST(DeviceFaults, DeviceFallingSilentMidTransferEndsItAndKeepsTheLink) {
    // Two replies for Connect, then the stop of the outputs and the sweep off; the first
    // sample block gets none.
    Devsim sim({"--stop-after", "4"});
    Program p;
    p.w->general().activeBox[2]->setChecked(true); // a second block that must be skipped
    p.choosePort(sim.port());
    p.w->actions().connectButton->click();
    p.settle();
    ASSERT_EQ(p.panel0(), "Connected") << p.joinedMessages();
    ASSERT_TRUE(p.sendAllAndWait());
    p.deliverMessages();
    // The failed block stops the transfer; frequency, reference and sweep still go out and
    // time out too. Output 3's block is never sent.
    EXPECT_EQ(p.messages, std::vector<QString>(4, kTimeOut)) << p.joinedMessages();
    EXPECT_TRUE(p.device().isConnected());
    EXPECT_EQ(p.panel0(), "Connected");
    EXPECT_EQ(p.enabled(), kConnected);
    EXPECT_TRUE(p.panelEnabled());
    EXPECT_FALSE(p.device().commands().StopRequested);
    EXPECT_TRUE(outputCodes(sim.state(), 3).empty());

    // Disconnect still works; its waits time out.
    p.messages.clear();
    p.w->actions().disconnectButton->click();
    p.settle();
    EXPECT_EQ(p.messages, std::vector<QString>(2, kTimeOut));
    EXPECT_FALSE(p.device().isConnected());
    EXPECT_EQ(p.panel0(), "Disonnected");
    EXPECT_EQ(p.enabled(), kStartUp);
    EXPECT_TRUE(p.panelDisabled());
    EXPECT_TRUE(portIsFree(sim.path()));
}

TEST(DeviceFaults, ReplyErrorsOfATransferAreShownOneAtATimeInOrder) {
    Devsim sim({"--stop-after", "4"});
    Program p;
    p.w->general().activeBox[2]->setChecked(true);
    p.choosePort(sim.port());
    p.w->actions().connectButton->click();
    p.settle();
    ASSERT_EQ(p.panel0(), "Connected") << p.joinedMessages();
    // The first box runs its own event loop, as a modal box does, until the transfer ends.
    int depth = 0;
    int deepest = 0;
    p.device().setMessageHook([&](const MessageRequest& r) {
        deepest = std::max(deepest, ++depth);
        p.messages.push_back(r.text);
        if (p.messages.size() == 1 && p.device().transferRunning()) {
            QEventLoop box;
            QObject::connect(&p.device(), &DeviceController::transferFinished, &box,
                             &QEventLoop::quit);
            QTimer::singleShot(30000, &box, &QEventLoop::quit);
            box.exec();
        }
        --depth;
        return true;
    });
    p.w->actions().sendAllButton->click();
    for (int i = 0; i < 600 && (p.messages.size() < 4 || p.device().transferRunning()); ++i)
        QTest::qWait(50);
    p.deliverMessages();
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(p.messages, std::vector<QString>(4, kTimeOut)) << p.joinedMessages();
    EXPECT_EQ(p.enabled(), kConnected);
}

TEST(DeviceFaults, ResetAnsweredButNotTheReconnectionLeavesConnectUsable) {
    // Connect (two replies) and a transfer (six); then the reset's test, stop and reset are
    // answered, the reconnection's test at 9600 baud is not.
    Devsim sim({"--stop-after", "11"});
    Program p;
    p.choosePort(sim.port());
    p.w->actions().connectButton->click();
    p.settle();
    ASSERT_TRUE(p.sendAllAndWait());
    ASSERT_TRUE(p.panelEnabled());
    p.w->actions().resetDsp->trigger();
    p.settle();
    EXPECT_EQ(p.messages, std::vector<QString>{kTimeOut}) << p.joinedMessages();
    EXPECT_FALSE(p.device().isConnected());
    EXPECT_EQ(p.panel0(), "Disconnected");
    EXPECT_EQ(p.enabled(), kStartUp);
    EXPECT_TRUE(p.panelDisabled());
    EXPECT_TRUE(portIsFree(sim.path()));
}

TEST(DeviceFaults, DeviceDisappearingDuringATransferTimesOutAndDisconnects) {
    auto sim = std::make_unique<Devsim>();
    Program p;
    p.choosePort(sim->port());
    p.w->actions().connectButton->click();
    p.settle();
    ASSERT_EQ(p.panel0(), "Connected");
    QSignalSpy done(&p.device(), &DeviceController::transferFinished);
    p.w->actions().sendAllButton->click();
    ASSERT_TRUE(p.device().transferRunning());
    sim->kill();
    ASSERT_TRUE(done.wait(30000));
    p.deliverMessages();
    // Writes to the vanished terminal fail silently; every reply wait times out.
    EXPECT_FALSE(p.messages.empty());
    EXPECT_TRUE(p.allMessagesAre(kTimeOut)) << p.joinedMessages();
    EXPECT_EQ(p.panel0(), "Connected");
    EXPECT_EQ(p.enabled(), kConnected);
    EXPECT_TRUE(p.device().isConnected());

    p.messages.clear();
    p.w->actions().disconnectButton->click();
    p.settle();
    EXPECT_TRUE(p.allMessagesAre(kTimeOut)) << p.joinedMessages();
    EXPECT_FALSE(p.device().isConnected());
    EXPECT_EQ(p.panel0(), "Disonnected");
    EXPECT_EQ(p.enabled(), kStartUp);
    // The terminal is gone: Connect reports the port, nothing else changes.
    p.messages.clear();
    p.w->actions().connectButton->click();
    p.settle();
    EXPECT_EQ(p.messages, std::vector<QString>{kPortBusy});
    EXPECT_EQ(p.enabled(), kStartUp);
}

TEST(DeviceFaults, DeviceDisappearingDuringAControlPanelCommand) {
    // Replies come 150 ms late, so the device can vanish while a reply is awaited.
    auto sim = std::make_unique<Devsim>(std::vector<std::string>{"--late", "150"});
    Program p;
    p.choosePort(sim->port());
    p.w->actions().connectButton->click();
    p.settle();
    ASSERT_TRUE(p.sendAllAndWait());
    p.deliverMessages();
    ASSERT_TRUE(p.messages.empty()) << p.joinedMessages();
    ASSERT_TRUE(p.panelEnabled());
    std::thread killer([&sim] {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        sim->kill();
    });
    // A Start on the panel: the run mask frame times out; the panel stays usable.
    p.panel->startButton[0]->click();
    killer.join();
    p.settle();
    EXPECT_EQ(p.messages, std::vector<QString>{kTimeOut});
    EXPECT_EQ(p.device().commands().RunMask, 0x01U);
    EXPECT_TRUE(p.panelEnabled());
    EXPECT_TRUE(p.device().isConnected());
    EXPECT_EQ(p.enabled(), kConnected);
    // A live frequency change on the panel meets the same silence.
    p.messages.clear();
    p.panel->ControlPanelFreq->setText("500");
    p.settle();
    EXPECT_EQ(p.messages, std::vector<QString>{kTimeOut});
    EXPECT_TRUE(p.panel->ControlPanelFreq->isEnabled());

    // The connection test finds the device gone and disconnects.
    p.messages.clear();
    p.w->actions().checkConnection->trigger();
    p.settle();
    ASSERT_GE(p.messages.size(), 2U);
    EXPECT_EQ(p.messages[0], kTimeOut);
    EXPECT_EQ(p.messages[1], "Device not connected!");
    EXPECT_FALSE(p.device().isConnected());
    EXPECT_EQ(p.panel0(), "Disonnected");
    EXPECT_EQ(p.enabled(), kStartUp);
    EXPECT_TRUE(p.panelDisabled());
}

TEST(DeviceFaults, FaultyRepliesDuringATransferStopItAndKeepTheLink) {
    struct Case {
        std::vector<std::string> fault;
        QString message;
    };
    const Case cases[] = {{{"--bad-crc"}, kCrcInvalid},
                          {{"--bad-format"}, kBadFormat},
                          {{"--status", "2"}, kCrcInvalid}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault.front());
        Devsim healthy;
        Devsim faulty(c.fault);
        auto port = std::make_unique<MovablePort>();
        MovablePort* movable = port.get();
        Program p(std::move(port));
        p.w->general().activeBox[1]->setChecked(true);
        p.choosePort(healthy.port());
        p.w->actions().connectButton->click();
        p.settle();
        ASSERT_EQ(p.panel0(), "Connected") << p.joinedMessages();
        ASSERT_TRUE(movable->moveTo(faulty.path()));

        ASSERT_TRUE(p.sendAllAndWait());
        p.deliverMessages();
        // Stop outputs, sweep off, the first block (which stops the transfer), frequency,
        // reference and the closing sweep frame: each reply reported once.
        EXPECT_EQ(p.messages, std::vector<QString>(6, c.message)) << p.joinedMessages();
        EXPECT_TRUE(p.device().isConnected());
        EXPECT_EQ(p.panel0(), "Connected");
        EXPECT_EQ(p.enabled(), kConnected);
        EXPECT_TRUE(p.panelEnabled());
        EXPECT_FALSE(p.device().commands().StopRequested);

        // Back on a healthy device the next transfer goes through untouched.
        p.messages.clear();
        ASSERT_TRUE(movable->moveTo(healthy.path()));
        ASSERT_TRUE(p.sendAllAndWait());
        p.deliverMessages();
        EXPECT_TRUE(p.messages.empty()) << p.joinedMessages();
        EXPECT_EQ(p.enabled(), kConnected);
    }
}

TEST(DeviceFaults, SplitRepliesCarryAWholeTransfer) {
    Devsim sim({"--split", "--split-gap", "30"});
    Program p;
    p.w->output(0).amplitude[0]->setText("1");
    p.w->output(0).en[0]->setChecked(true);
    p.w->calculation().CalculateForms(0, kOutputCount - 1);
    p.w->calculation().finishCalculation();
    p.choosePort(sim.port());
    p.w->actions().connectButton->click();
    p.settle();
    ASSERT_EQ(p.panel0(), "Connected") << p.joinedMessages();
    ASSERT_TRUE(p.sendAllAndWait());
    p.deliverMessages();
    EXPECT_TRUE(p.messages.empty()) << p.joinedMessages();
    EXPECT_EQ(p.enabled(), kConnected);
    EXPECT_TRUE(p.panelEnabled());

    std::vector<long> expected;
    for (double v : p.w->calculation().samples(0))
        expected.push_back(sampleCode(v, sampleStep(4096)));
    ASSERT_EQ(expected.size(), 64U);
    std::string json;
    for (int i = 0; i < 100 && outputCodes(json, 1) != expected; ++i) {
        QTest::qWait(30);
        json = sim.state();
    }
    EXPECT_EQ(outputCodes(json, 1), expected);
    EXPECT_EQ(jsonNumber(json, "frames_rejected"), 0);
}

TEST(DeviceFaults, PortHeldByAnotherInstanceIsRefused) {
    Devsim sim;
    Program first;
    first.choosePort(sim.port());
    first.w->actions().connectButton->click();
    first.settle();
    ASSERT_EQ(first.panel0(), "Connected") << first.joinedMessages();

    Program second;
    second.choosePort(sim.port());
    second.w->actions().connectButton->click();
    second.settle();
    EXPECT_EQ(second.messages, std::vector<QString>{kPortBusy});
    EXPECT_FALSE(second.device().isConnected());
    EXPECT_EQ(second.panel0(), "Disconnected");
    EXPECT_EQ(second.enabled(), kStartUp);

    // The first instance keeps its link and can use it.
    ASSERT_TRUE(first.sendAllAndWait());
    first.deliverMessages();
    EXPECT_TRUE(first.messages.empty()) << first.joinedMessages();
    EXPECT_EQ(first.enabled(), kConnected);

    // Once the first lets go, the second connects.
    first.w->actions().disconnectButton->click();
    first.settle();
    second.w->actions().connectButton->click();
    second.settle();
    EXPECT_EQ(second.panel0(), "Connected") << second.joinedMessages();
    EXPECT_EQ(second.enabled(), kConnected);
}

// Destroys the window on this thread; aborts the whole test program with a clear message
// when that has not returned within 30 s, rather than hanging.
void destroyWithWatchdog(Program& p) {
    std::atomic<bool> returned{false};
    std::thread watchdog([&returned] {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!returned) {
            if (std::chrono::steady_clock::now() > limit) {
                std::fprintf(stderr, "DeviceFaults: closing the main window during a transfer "
                                     "did not return within 30 s (deadlock?)\n");
                std::abort();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const auto start = std::chrono::steady_clock::now();
    p.w.reset();
    returned = true;
    watchdog.join();
    std::printf("closing took %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - start)
                                           .count()));
}

TEST(DeviceFaults, ClosingTheWindowDuringAFailingTransferReturns) {
    Devsim sim({"--stop-after", "4"});
    Program p;
    p.choosePort(sim.port());
    p.w->actions().connectButton->click();
    p.settle();
    ASSERT_EQ(p.panel0(), "Connected");
    p.w->actions().sendAllButton->click();
    ASSERT_TRUE(p.w->link().device().transferRunning());
    // Let the transfer reach its unanswered block and queue its messages meanwhile.
    QTest::qWait(300);
    destroyWithWatchdog(p);
    // The queued messages of the transfer died with the controller.
    QCoreApplication::processEvents();
    EXPECT_TRUE(portIsFree(sim.path()));
}

TEST(DeviceFaults, ClosingTheWindowDuringATransferStillSendsTheShutDownFrames) {
    Devsim sim;
    Program p;
    p.choosePort(sim.port());
    p.w->actions().connectButton->click();
    p.settle();
    ASSERT_EQ(p.panel0(), "Connected");
    ASSERT_EQ(jsonNumber(sim.state(), "baud"), 57600);
    p.w->actions().sendAllButton->click();
    ASSERT_TRUE(p.w->link().device().transferRunning());
    destroyWithWatchdog(p);
    EXPECT_TRUE(portIsFree(sim.path()));
    // The transfer ended before the closing frames: they all reached the device whole.
    std::string json;
    for (int i = 0; i < 100 && jsonNumber(json, "baud") != 9600; ++i) {
        QTest::qWait(30);
        json = sim.state();
    }
    EXPECT_EQ(jsonNumber(json, "baud"), 9600);
    EXPECT_NE(json.find("\"run_mask_closing\": true"), std::string::npos);
    EXPECT_EQ(jsonNumber(json, "frames_rejected"), 0);
    EXPECT_EQ(jsonNumber(json, "run_mask"), 0);
}

// Connects, freezes the device and starts a transfer of more samples than the terminal
// buffers, so that the transfer thread is stuck in its writes.
void startTransferToAHungDevice(Program& p, Devsim& sim) {
    p.w->general().NumOfSam->setText(QString::number(p.w->document().MaxSamples()));
    p.w->calculation().CalculateForms(0, kOutputCount - 1);
    p.w->calculation().finishCalculation();
    p.choosePort(sim.port());
    p.w->actions().connectButton->click();
    p.settle();
    ASSERT_EQ(p.panel0(), "Connected");
    sim.freeze();
    p.w->actions().sendAllButton->click();
    ASSERT_TRUE(p.w->link().device().transferRunning());
    QTest::qWait(1500);
    ASSERT_TRUE(p.w->link().device().transferRunning());
    ASSERT_LT(p.w->progressBar()->value(), p.w->progressBar()->maximum());
}

TEST(DeviceFaults, StopEndsATransferToAHungDevice) {
    Devsim sim;
    Program p;
    startTransferToAHungDevice(p, sim);
    QSignalSpy done(&p.device(), &DeviceController::transferFinished);
    p.w->actions().stopButton->click();
    EXPECT_EQ(p.w->progressBar()->value(), 0);
    // Each write to the full terminal gives up after a second; the end frames follow.
    ASSERT_TRUE(done.wait(30000));
    p.deliverMessages();
    EXPECT_FALSE(p.messages.empty());
    EXPECT_TRUE(p.allMessagesAre(kTimeOut)) << p.joinedMessages();
    EXPECT_EQ(p.panel0(), "Connected");
    EXPECT_EQ(p.enabled(), kConnected);
    EXPECT_TRUE(p.device().isConnected());
    EXPECT_FALSE(p.device().commands().StopRequested);
}

TEST(DeviceFaults, ClosingTheWindowWhileTheDeviceHangsReturns) {
    Devsim sim;
    Program p;
    startTransferToAHungDevice(p, sim);
    destroyWithWatchdog(p);
    // The shut-down frames' waits report on the GUI thread while the window closes.
    EXPECT_FALSE(p.messages.empty());
    EXPECT_TRUE(p.allMessagesAre(kTimeOut)) << p.joinedMessages();
}

} // namespace
} // namespace ombrix
