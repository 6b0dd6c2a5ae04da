// The device link on the main window's side: owns the port (the simulated generator for the
// name "Simulator", a terminal device otherwise), the clock and the device link thread; binds
// the tool buttons, the Send data and Setup menu commands, the status bar, the progress bar
// and the settings dialog to the device commands; and keeps the enabled states of the
// connection-state table.
//
// Every device command is a job on the link thread (LinkThread), run one after another in the
// order asked; the GUI thread never waits for the line. What a job reports (messages, status
// texts, progress, enabling) reaches the widgets on the GUI thread by queued invocation, in
// order; message boxes are never shown from the link thread.
//
// Commands from elsewhere than the window (a remote client) go through request(): the same
// jobs, the same queue, and the outcome handed to whoever asked.
#pragma once

#include "core/device/devicecommands.h"
#include "core/device/linelog.h"
#include "core/device/linkjobs.h"
#include "core/device/linkthread.h"
#include "core/device/transfer.h"
#include "core/model/formsconfig.h"
#include "gui/common/guihandover.h"
#include "gui/dialogs/messagebox.h"

#include <QObject>

#include <array>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QProgressBar;
class QToolButton;
class QWidget;

namespace ombrix {

class TSettingsForm;

// The program's device port: the simulated generator for the name "Simulator" (paced at the
// line speed when `pacing` is on), a terminal device for any other name.
std::unique_ptr<SerialPort> makeProgramDevicePort(Clock& clock, bool pacing = true);

// The main window's controls and data the controller works with.
struct DeviceBindings {
    QToolButton* sendAll = nullptr;    // ToolButton1 "&Send all"
    QToolButton* stop = nullptr;       // ToolButton2 "Stop"
    QToolButton* connect = nullptr;    // ToolButton3 "&Connect"
    QToolButton* disconnect = nullptr; // ToolButton4 "&Disconnect"
    // The "&Send all" drop-down: "Send &all", "Send &samples", "Change &frequency",
    // "Change &reference voltage".
    QAction* sendAllItem = nullptr;
    QAction* sendSamplesItem = nullptr;
    QAction* changeFrequencyItem = nullptr;
    QAction* changeReferenceItem = nullptr;
    // Setup menu: "&Check Connection with device", "Show &DSP program version", "&Reset DSP".
    QAction* checkConnection = nullptr;
    QAction* dspVersion = nullptr;
    QAction* resetDsp = nullptr;
    std::array<QLabel*, 6> statusPanels{}; // status bar panels 0..5 (0, 1, 4, 5 are written)
    QProgressBar* progress = nullptr;      // COMProgressBar
    std::function<FormsConfig()> forms;    // the forms as they stand
    std::function<std::array<std::vector<double>, kOutputCount>()> samples; // volts per output
    std::function<bool()> formViewSelected; // "&Send all" is usable in the form view only
    std::function<void()> recalculate;      // recalculates all six outputs and waits for the end
    char decimalSeparator = '.';
    TSettingsForm* settings = nullptr;
    QWidget* window = nullptr; // owner of the message boxes
};

// A device command asked of the link.
struct LinkRequest {
    LinkJobKind kind = LinkJobKind::CheckConnection;
    double frequencyHz = 0;        // PanelFrequency: the frequency to play
    std::uint8_t runMask = 0;      // RunMask: the outputs to play, bit k-1 = Output k
    bool recalculateFirst = false; // SendAll/SendSamples: recalculate when the count changed
    // False: the job's messages reach only its outcome, no message box (a remote client's
    // commands). Status texts and the enabling of controls follow either way.
    bool showMessages = true;
};

// The link as a remote client sees it: no port open, open, or a job waiting or running.
enum class LinkState { Disconnected, Connected, Busy };

class DeviceController : public QObject,
                         private UserInterface,
                         private DeviceButtons,
                         private TransferProgress {
    Q_OBJECT
  public:
    // Uses the program's port (terminal device or the paced simulator) on the system clock.
    explicit DeviceController(DeviceBindings bindings, QObject* parent = nullptr);
    // Uses `port` on `clock` (tests: an unpaced simulator on a fake clock).
    DeviceController(DeviceBindings bindings, std::unique_ptr<SerialPort> port, Clock& clock,
                     QObject* parent = nullptr);
    // Drops the waiting jobs, stops a running transfer and lets the running job end; sends
    // nothing more.
    ~DeviceController() override;

    using OutcomeHandler = std::function<void(const LinkOutcome&)>;
    // Asks the link for a command (GUI thread only). The job's settings and forms are read
    // now; the job runs after every job asked before it (a control panel frequency replaces
    // one still waiting, which is told Replaced). `done` runs on the GUI thread once the job's
    // reports have reached the window; a refused transfer (not connected, forms that cannot
    // be sent) is told Refused at once.
    void request(const LinkRequest& request, OutcomeHandler done = {});
    LinkState linkState() const;
    // No job waits or runs, and every outcome has reached the window.
    bool idle() const { return pendingJobs_ == 0; }
    // The run mask the next Start/Stop rule starts from: the last one asked, while it waits
    // or runs, otherwise what the link last sent.
    std::uint8_t runMask() const;

    // Message boxes go through `hook` when set (also the settings dialog's).
    void setMessageHook(MessageHook hook);

    // The port was open when the last job ended.
    bool isConnected() const { return connected_; }
    // A transfer waits or runs.
    bool transferRunning() const { return transferRunning_; }
    // The control panel's sixteen Start/Stop buttons, and its frequency edit, track bar and
    // label, as the connection-state table enables them now (none while a job that holds the
    // link waits or runs).
    bool panelButtonsEnabled() const {
        return state_.panelButtons.value_or(false) && pendingLinkJobs_ == 0;
    }
    bool panelFrequencyEnabled() const {
        return state_.panelFrequency.value_or(false) && pendingLinkJobs_ == 0;
    }

    // The commands with RunMask and the other link state. Their port belongs to the link
    // thread: only its atomics may be touched from elsewhere.
    DeviceCommands& commands() { return commands_; }
    // The port, for tests that read the simulated generator (under its own lock).
    SerialPort& port() { return *port_; }
    Clock& clock() { return clock_; }
    UserInterface& ui() { return *this; }

    // Every frame written and reply read passes this recorder (logging only while asked).
    LineRecorder& lineRecorder() { return *recorder_; }
    // The forms as a transfer would read them now.
    TransferInput formsInput() const { return snapshot(true); }
    // True while connected to the simulated generator, whose state can be read back.
    bool readsBack() const;
    // What the device holds: the simulated generator's state, or on a real port what the
    // program sent and the device acknowledged.
    SimState deviceState();
    // The DSP quartz [MHz] and instructions per sample of the settings (0 when invalid).
    double quartzMHz() const;
    double instructions() const;

    // The main window's FormDestroy: drops the waiting jobs, stops a running transfer and
    // waits for the running job's end, then sends the shut-down frames when the port is open
    // and closes it; what they reported is delivered before it returns.
    void shutdown();

    // The number of samples was edited: "&Send all" and "Send &samples" recalculate first.
    void setSampleCountChanged() { commands_.SampleCountChanged = true; }

    // The sweep was switched on or off: the control panel's frequency edit, track bar and
    // label are disabled while it is on, and enabled when it goes off while the panel's
    // Start/Stop buttons are usable.
    void sweepSwitched(bool on);

    // The handlers of the bound controls.
    void ToolButton1Click();             // "&Send all" button
    void Sendall1Click();                // "Send &all"
    void Sendsamples1Click();            // "Send &samples"
    void Setfreq1Click();                // "Change &frequency"
    void Changereferencevoltage1Click(); // "Change &reference voltage"
    void ToolButton2Click();             // "Stop"
    void ToolButton3Click();             // "&Connect"
    void ToolButton4Click();             // "&Disconnect"
    void Checkconnection1Click();
    void ShowDSPprogramversion1Click();
    void ResetDSP1Click();

  signals:
    // The connection, the transfer or the enabled controls changed.
    void linkStateChanged();
    // A transfer has ended (its end steps are done).
    void transferFinished();
    // A transfer is about to send.
    void transferStarting();
    // The outputs playing on the device changed (after the job that changed them).
    void runMaskChanged(std::uint8_t mask);
    // The last waiting job has ended and its outcome reached the window.
    void linkIdle();

  private:
    // UserInterface
    void ShowMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    void SetStatusText(int panel, const std::string& text) override;
    // DeviceButtons
    void EnableControls(const LinkControls& controls) override;
    // TransferProgress
    void SetProgressMax(int maximum) override;
    void StepProgress() override;

    void bind();
    void applyControls();
    // Shows the reply messages one at a time, in the order they came.
    void queueMessage(MessageRequest request);
    // After a command: a closed port that the window still shows as a link (a reset whose
    // reconnection got no answer) becomes a failed connection, so that Connect is usable.
    void followPort();
    // The panel's frequency controls as the sweep (`on`) and the panel's buttons allow.
    void followSweep(bool on);
    // The recorder's decoding context and device image follow the settings and the port.
    void followSettingsInRecorder();
    // The work of a command job, with its settings and forms read now; nothing (refused at
    // once) when the window has nothing to send.
    std::function<void()> commandWork(const LinkRequest& request);
    // Queues `work` as a job of `kind`; its outcome goes to `done`.
    void enqueue(LinkJobKind kind, bool showMessages, std::function<void()> work,
                 OutcomeHandler done);
    // A job's end on the GUI thread.
    void finishJob(LinkJobKind kind, LinkOutcome outcome, const std::string& portName,
                   const OutcomeHandler& done);
    void refuse(const OutcomeHandler& done, std::string error = {});
    void followRunMask();
    void startTransfer(const LinkRequest& request, OutcomeHandler done);
    TransferInput snapshot(bool sendAll) const;
    const DeviceSettings& settings() const;
    bool onGuiThread() const;
    template <class F> void onGui(F&& f);

    DeviceBindings b_;
    GuiHandOver handOver_; // reports of the link thread, in order
    std::unique_ptr<SerialPort> port_;
    Clock& clock_;
    DeviceCommands commands_;
    std::unique_ptr<LineRecorder> recorder_;
    std::string imagedPort_; // the port whose acknowledged frames the image holds
    LinkControls state_ = startUpControls();
    MessageHook hook_;
    std::deque<MessageRequest> pendingMessages_;
    bool showingMessage_ = false;
    DeviceSettings fallbackSettings_; // when no settings dialog is bound

    // GUI thread: what the link was when its last job ended, and the jobs not yet ended.
    bool connected_ = false;
    std::string linkPort_ = kStartPortName; // the name the port was last opened with
    bool transferRunning_ = false;
    int pendingJobs_ = 0;
    int pendingLinkJobs_ = 0; // of them, the jobs that hold the link
    int pendingMasks_ = 0;    // of them, run masks
    std::uint8_t askedMask_ = 0;
    std::uint8_t shownMask_ = 0; // the last runMaskChanged

    std::atomic<int> stepsWaiting_{0}; // progress steps not yet shown

    // Link thread: the outcome of the job running, where its messages go.
    LinkOutcome* current_ = nullptr;
    bool currentShows_ = true;

    LinkThread link_; // last: ends first, while everything its jobs use still exists
};

} // namespace ombrix
