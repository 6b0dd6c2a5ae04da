#include "core/device/devicecommands.h"

#include "core/device/encodings.h"
#include "core/device/frame.h"
#include "core/device/portopen.h"
#include "core/device/protocol.h"
#include "core/model/numbertext.h"

namespace ombrix {

LinkControls startUpControls() {
    return {false, false, true, false, false, false};
}

LinkControls connectedControls() {
    return {true, false, false, true, std::nullopt, std::nullopt};
}

LinkControls transferStartControls() {
    return {std::nullopt, std::nullopt, std::nullopt, false, false, false};
}

LinkControls transferRunningControls() {
    return {false, true, false, false, false, false};
}

LinkControls afterTransferControls(bool freqEnabled) {
    return {true, false, false, true, true, freqEnabled ? std::optional<bool>(true) : std::nullopt};
}

LinkControls connectFailedControls() {
    return {false, false, true, false, std::nullopt, std::nullopt};
}

LinkControls disconnectedControls() {
    return {false, false, true, false, false, false};
}

std::optional<DeviceNumbers> readDeviceNumbers(const DeviceSettings& settings, std::string& error) {
    struct Field {
        const std::string& text;
        const char* name;
        long minimum;
    };
    const Field fields[] = {{settings.VRef1, "Vref_1", 1},
                            {settings.VRef2, "Vref_2", 1},
                            {settings.Quartz, "ADSP2181 quartz", 1},
                            {settings.Instructions, "Number of instructions", 0}};
    long values[4] = {};
    for (int i = 0; i < 4; ++i) {
        const auto v = wholeNumber(fields[i].text);
        if (!v) {
            error = std::string(fields[i].name) + " in the settings is not a whole number.";
            return std::nullopt;
        }
        if (*v < fields[i].minimum) {
            error = std::string(fields[i].name) + " in the settings is too small.";
            return std::nullopt;
        }
        values[i] = *v;
    }
    return DeviceNumbers{values[0], values[1], values[2], values[3]};
}

DeviceCommands::DeviceCommands(SerialPort& port, Clock& clock, UserInterface& ui,
                               DeviceButtons& buttons)
    : port_(port), clock_(clock), ui_(ui), buttons_(buttons) {}

bool DeviceCommands::CheckConnection() {
    const ReplyResult r =
        Transact(port_, clock_, ui_, systemFrame(SysCheck), Exchange::ConnectionTest);
    if (r != ReplyOk) {
        port_.ClosePort();
        return false;
    }
    const auto& reply = port_.receiveBuffer();
    return reply[2] == 0 && reply[3] == 0;
}

void DeviceCommands::StopOutputs(bool closing) {
    RunMask = 0;
    Transact(port_, clock_, ui_, runMaskFrame(0, closing), Exchange::Command);
}

bool DeviceCommands::openAtStartSpeed(const std::string& name) {
    if (!openPortOrReport(port_, name, kStartBaudIndex, ui_))
        return false;
    port_.SetPortEvents();
    return true;
}

void DeviceCommands::Connect(const DeviceSettings& settings) {
    if (!openAtStartSpeed(settings.PortName))
        return;
    if (!CheckConnection() || ClosingDown)
        return;
    const int index = settings.BaudIndex;
    const bool selected = index >= 0 && index < static_cast<int>(kBaudTable.size());
    SendFrame(port_, clock_,
              lineSpeedFrame(selected ? static_cast<std::uint8_t>(index) : 0xFF, false),
              Exchange::LineSpeed);
    port_.ClosePort();
    // An index outside the table opens at 9600, where the device went on 0xFF.
    if (!openPortOrReport(port_, settings.PortName, index, ui_))
        return;
    port_.SetPortEvents();
    if (CheckConnection()) {
        ui_.SetStatusText(0, kConnectedText);
        buttons_.EnableControls(connectedControls());
    } else {
        ui_.SetStatusText(0, kDisconnectedText);
        buttons_.EnableControls(connectFailedControls());
    }
}

void DeviceCommands::sendShutdownFrames(bool atShutdown) {
    StopOutputs(true);
    Transact(port_, clock_, ui_, sweepOffFrame(), Exchange::Command);
    SendFrame(port_, clock_, lineSpeedFrame(kStartBaudIndex, true),
              atShutdown ? Exchange::LineSpeedAtShutdown : Exchange::LineSpeed);
    port_.ClosePort();
}

void DeviceCommands::Disconnect() {
    sendShutdownFrames(false);
    ui_.SetStatusText(0, kAfterDisconnectText);
    buttons_.EnableControls(disconnectedControls());
}

void DeviceCommands::FormDestroy() {
    if (port_.IsOpen())
        sendShutdownFrames(true);
}

void DeviceCommands::TestConnection(const DeviceSettings& settings) {
    if (!port_.IsOpen()) {
        if (!openAtStartSpeed(settings.PortName))
            return;
        if (CheckConnection())
            ui_.ShowMessage(kConnectionOkText, kInformationCaption, MessageIcon::Information);
        else
            ui_.ShowMessage(kNotConnectedText, kErrorCaption, MessageIcon::Error);
        port_.ClosePort();
        return;
    }
    if (CheckConnection()) {
        if (ClosingDown)
            return;
        StopOutputs(false);
        ui_.ShowMessage(kConnectionOkText, kInformationCaption, MessageIcon::Information);
    } else {
        ui_.ShowMessage(kNotConnectedText, kErrorCaption, MessageIcon::Error);
        Disconnect();
    }
}

void DeviceCommands::ShowDSPVersion(const DeviceSettings& settings) {
    auto requestVersion = [this] {
        if (Transact(port_, clock_, ui_, systemFrame(SysVersion), Exchange::Command) == ReplyOk)
            ui_.ShowMessage(kVersionPrefix + versionText(port_.receiveBuffer()),
                            kInformationCaption, MessageIcon::Information);
    };
    if (!port_.IsOpen()) {
        if (!openAtStartSpeed(settings.PortName))
            return;
        if (CheckConnection())
            requestVersion();
        else
            ui_.ShowMessage(kNotConnectedText, kErrorCaption, MessageIcon::Error);
        port_.ClosePort();
        return;
    }
    StopOutputs(false);
    if (!ClosingDown)
        requestVersion();
}

void DeviceCommands::ResetDSP(const DeviceSettings& settings) {
    if (!port_.IsOpen()) {
        if (!openAtStartSpeed(settings.PortName))
            return;
        if (CheckConnection())
            Transact(port_, clock_, ui_, systemFrame(SysReset), Exchange::Command);
        else
            ui_.ShowMessage(kNotConnectedText, kErrorCaption, MessageIcon::Error);
        port_.ClosePort();
        return;
    }
    if (!CheckConnection()) {
        ui_.ShowMessage(kNotConnectedText, kErrorCaption, MessageIcon::Error);
        Disconnect();
        return;
    }
    if (ClosingDown)
        return;
    StopOutputs(false);
    if (ClosingDown)
        return;
    if (Transact(port_, clock_, ui_, systemFrame(SysReset), Exchange::Command) == ReplyOk) {
        // The reset DSP listens at 9600 baud again.
        port_.ClosePort();
        if (!ClosingDown)
            Connect(settings);
    }
}

bool DeviceCommands::sendFrequency(double freqHz, double samples, const DeviceSettings& settings,
                                   bool panel) {
    std::string error;
    const auto numbers = readDeviceNumbers(settings, error);
    if (!numbers) {
        ui_.ShowMessage(error, kErrorCaption, MessageIcon::Error);
        return false;
    }
    const TimingResult timing = timingWords(freqHz, samples, static_cast<double>(numbers->quartz),
                                            static_cast<double>(numbers->instructions));
    if (!timing.ok()) {
        ui_.ShowMessage(timingErrorText(timing.error), kErrorCaption, MessageIcon::Error);
        return false;
    }
    Transact(port_, clock_, ui_, frequencyFrame(timing.words),
             panel ? Exchange::PanelFrequency : Exchange::Command);
    return true;
}

void DeviceCommands::ChangeFrequency(const std::string& freqText, const std::string& numOfSamText,
                                     const DeviceSettings& settings, char sep) {
    const auto freq = parseNumber(freqText, sep);
    if (!freq || !(*freq > 0))
        return;
    const auto samples = parseInteger(numOfSamText);
    if (!samples || *samples <= 0) {
        ui_.ShowMessage("The number of samples is not a positive whole number.", kErrorCaption,
                        MessageIcon::Error);
        return;
    }
    sendFrequency(static_cast<double>(*freq), *samples, settings, false);
}

void DeviceCommands::ChangeReference(const DeviceSettings& settings) {
    std::string error;
    const auto numbers = readDeviceNumbers(settings, error);
    if (!numbers) {
        ui_.ShowMessage(error, kErrorCaption, MessageIcon::Error);
        return;
    }
    Transact(port_, clock_, ui_,
             referenceFrame(referenceCode(static_cast<double>(numbers->vref1)),
                            referenceCode(static_cast<double>(numbers->vref2))),
             Exchange::Command);
}

int DeviceCommands::SendPanelRunMask(std::uint8_t runMask) {
    return Transact(port_, clock_, ui_, runMaskFrame(runMask & kOutputMaskBits, false),
                    Exchange::PanelRunMask);
}

bool DeviceCommands::SendPanelFrequency(double freqHz, long samples,
                                        const DeviceSettings& settings) {
    return sendFrequency(freqHz, static_cast<double>(samples), settings, true);
}

} // namespace ombrix
