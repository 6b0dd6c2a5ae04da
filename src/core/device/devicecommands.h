// The device commands of the main window: connect, disconnect, test the connection, show the
// DSP program version, reset the DSP, change the frequency or the reference voltages alone,
// and the shut-down frames sent when the main window goes. Each is a fixed sequence of frames
// over a SerialPort, paced by a Clock, reporting through a UserInterface and enabling the
// window's controls through DeviceButtons. The sample transfer is in transfer.h.
//
// This header keeps clear of frame.h so that it can be included beside the forms model.
#pragma once

#include "core/device/clock.h"
#include "core/device/serialport.h"
#include "core/device/userinterface.h"
#include "core/model/devicesettings.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace ombrix {

// Status bar panel 0 texts ("Disonnected" is what Disconnect shows).
inline constexpr const char* kConnectedText = "Connected";
inline constexpr const char* kDisconnectedText = "Disconnected";
inline constexpr const char* kAfterDisconnectText = "Disonnected";

inline constexpr const char* kConnectionOkText = "Connection OK.";
inline constexpr const char* kNotConnectedText = "Device not connected!";
inline constexpr const char* kVersionPrefix = "DSP program version: ";
inline constexpr const char* kInformationCaption = "Information";
inline constexpr const char* kErrorCaption = "Error";

// Which of the link's controls to enable (true) or disable (false); nothing leaves a control
// as it is. `panelButtons` are the control panel's sixteen Start/Stop buttons,
// `panelFrequency` its frequency edit, track bar and label.
struct LinkControls {
    std::optional<bool> sendAll;
    std::optional<bool> stop;
    std::optional<bool> connect;
    std::optional<bool> disconnect;
    std::optional<bool> panelButtons;
    std::optional<bool> panelFrequency;
    bool operator==(const LinkControls&) const = default;
};

// The rows of the connection-state table.
LinkControls startUpControls();
LinkControls connectedControls();       // after a good Connect; the control panel untouched
LinkControls transferStartControls();   // a transfer is being started (handler, step 1)
LinkControls transferRunningControls(); // the transfer thread runs
LinkControls afterTransferControls(bool freqEnabled);
LinkControls connectFailedControls(); // the last test of Connect failed; panel untouched
LinkControls disconnectedControls();

// Where the commands enable and disable the window's controls.
class DeviceButtons {
  public:
    virtual ~DeviceButtons() = default;
    virtual void EnableControls(const LinkControls& controls) = 0;
};

// The device settings as numbers, read from the settings dialog's texts.
struct DeviceNumbers {
    long vref1 = kDefaultVRefMv;     // mV
    long vref2 = kDefaultVRefMv;     // mV
    long quartz = kDefaultQuartzMHz; // MHz
    long instructions = kDefaultInstructions;
};

// Reads the four advanced texts as whole numbers. Nothing when one is not a whole number, a
// reference voltage or the quartz is not positive, or the instructions are negative; `error`
// then says which, for the message box.
std::optional<DeviceNumbers> readDeviceNumbers(const DeviceSettings& settings, std::string& error);

class DeviceCommands {
  public:
    DeviceCommands(SerialPort& port, Clock& clock, UserInterface& ui, DeviceButtons& buttons);

    // Link state shared with the transfer thread and the control panel.
    std::atomic<std::uint32_t> RunMask{0};  // outputs playing on the device, bit k-1 = Output k
    std::atomic<bool> SendAllFlag{false};   // the transfer also sends frequency and reference
    std::atomic<bool> StopRequested{false}; // the transfer stops between words
    std::atomic<bool> SampleCountChanged{false}; // recalculate before "&Send all"/"Send &samples"
    // The main window is closing: a command on the line ends after the exchange under way,
    // before its next frame, so that the shut-down frames follow at once.
    std::atomic<bool> ClosingDown{false};

    bool IsConnected() const { return port_.IsOpen(); }

    // Connection test: SysCheck, pause 300 ms, flush, wait 500 ms. A failed wait closes the
    // port and gives false; otherwise true when reply bytes 2 and 3 are both 0.
    bool CheckConnection();

    // RunMask := 0 and CmdRunMask with P0 = 0, P1 = `closing`; flush, 100 ms, wait 500 ms.
    void StopOutputs(bool closing);

    // Test at 9600 baud, switch the device to the settings' line speed (0xFF when none is
    // selected), reopen at that speed and test again.
    void Connect(const DeviceSettings& settings);
    // Stops the outputs, turns the sweep off, returns the device to 9600 baud, closes the
    // port; "Disonnected". No test whether the port is open.
    void Disconnect();
    // The shut-down frames of a closing main window while the port is open: as Disconnect,
    // without the pause after the line-speed frame and without touching the window.
    void FormDestroy();
    // "&Check Connection with device".
    void TestConnection(const DeviceSettings& settings);
    // "Show &DSP program version".
    void ShowDSPVersion(const DeviceSettings& settings);
    // "&Reset DSP"; a good reset while connected reconnects from 9600 baud.
    void ResetDSP(const DeviceSettings& settings);
    // "Change &frequency": the timing words of `freqText` for `numOfSamText` samples. A
    // frequency of 0 or less sends nothing; one the device cannot play is refused with a
    // message, as are unreadable settings or sample count.
    void ChangeFrequency(const std::string& freqText, const std::string& numOfSamText,
                         const DeviceSettings& settings, char sep);
    // "Change &reference voltage": the reference codes of VRef1 and VRef2.
    void ChangeReference(const DeviceSettings& settings);

    // For the control panel: CmdRunMask with P0 = `runMask` (P1 = 0); flush, 100 ms, wait
    // 300 ms. Returns the reply result (0 = accepted).
    int SendPanelRunMask(std::uint8_t runMask);
    // For the control panel: CmdFrequency for `freqHz` and `samples`; 100 ms, wait 300 ms.
    // Refused with a message (nothing sent, false) when the timing is not playable or the
    // settings are unreadable.
    bool SendPanelFrequency(double freqHz, long samples, const DeviceSettings& settings);

    SerialPort& port() { return port_; }
    Clock& clock() { return clock_; }
    UserInterface& ui() { return ui_; }
    DeviceButtons& buttons() { return buttons_; }

  private:
    bool openAtStartSpeed(const std::string& name);
    bool sendFrequency(double freqHz, double samples, const DeviceSettings& settings, bool panel);
    void sendShutdownFrames(bool atShutdown);

    SerialPort& port_;
    Clock& clock_;
    UserInterface& ui_;
    DeviceButtons& buttons_;
};

} // namespace ombrix
