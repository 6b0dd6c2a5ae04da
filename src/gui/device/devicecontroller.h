// The device link on the main window's side: owns the port (the simulated generator for the
// name "Simulator", a terminal device otherwise), the clock and the transfer thread; binds the
// tool buttons, the Send data and Setup menu commands, the status bar, the progress bar and
// the settings dialog to the device commands; and keeps the enabled states of the
// connection-state table.
//
// Everything the transfer thread reports (messages, status texts, progress, enabling) reaches
// the widgets on the GUI thread by queued invocation; message boxes are never shown from
// the worker.
#pragma once

#include "core/device/devicecommands.h"
#include "core/device/linelog.h"
#include "core/device/transfer.h"
#include "core/model/formsconfig.h"
#include "gui/common/guihandover.h"
#include "gui/dialogs/messagebox.h"

#include <QObject>

#include <array>
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
    ~DeviceController() override; // stops and joins a running transfer; sends nothing

    // Message boxes go through `hook` when set (also the settings dialog's).
    void setMessageHook(MessageHook hook);

    bool isConnected() const { return commands_.IsConnected(); }
    bool transferRunning() const { return transferRunning_; }
    // The control panel's sixteen Start/Stop buttons, and its frequency edit, track bar and
    // label, as the connection-state table enables them now.
    bool panelButtonsEnabled() const { return state_.panelButtons.value_or(false); }
    bool panelFrequencyEnabled() const { return state_.panelFrequency.value_or(false); }

    // The commands with RunMask and the other link state; their port, clock and user
    // interface serve the control panel's frames (SendPanelRunMask, SendPanelFrequency).
    DeviceCommands& commands() { return commands_; }
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

    // The main window's FormDestroy: stops and joins a running transfer, sends the shut-down
    // frames when the port is open, and closes it.
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
    void startTransfer(bool sendAll, bool recalculateFirst);
    TransferInput snapshot(bool sendAll) const;
    const DeviceSettings& settings() const;
    bool onGuiThread() const;
    template <class F> void onGui(F&& f);

    DeviceBindings b_;
    GuiHandOver handOver_; // reports of the transfer thread, in order
    std::unique_ptr<SerialPort> port_;
    Clock& clock_;
    DeviceCommands commands_;
    std::unique_ptr<LineRecorder> recorder_;
    std::string imagedPort_; // the port whose acknowledged frames the image holds
    TransferThread transfer_;
    LinkControls state_ = startUpControls();
    bool transferRunning_ = false;
    MessageHook hook_;
    std::deque<MessageRequest> pendingMessages_;
    bool showingMessage_ = false;
    DeviceSettings fallbackSettings_; // when no settings dialog is bound
};

} // namespace ombrix
