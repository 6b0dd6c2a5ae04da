// Remote control's device commands on the window's device controller: the same handlers the
// tool buttons, the settings dialog and the control panel's rows call. The messages a command
// raises go to the asking client instead of a box while it runs.
#pragma once

#include "app/remote/remotedevice.h"

#include <QObject>

#include <vector>

namespace ombrix {

class DeviceController;
class TControlPanelForm;
class TSettingsForm;
struct MessageRequest;

class ControllerDevice : public QObject, public RemoteDevice {
    Q_OBJECT
  public:
    // `setPortStatus` writes the status bar's port panel as the dialog's OK does.
    ControllerDevice(DeviceController& device, TSettingsForm& settings,
                     TControlPanelForm& controlPanel,
                     std::function<void(const std::string&)> setPortStatus);
    ~ControllerDevice() override;

    State state() const override;
    std::string port() const override;
    std::optional<std::string> setPort(const std::string& name) override;
    void connectDevice(Done done) override;
    void disconnectDevice(Done done) override;
    void sendAll(Done done) override;
    bool outputPlaying(int output) const override;
    void setOutput(int output, bool on, Done done) override;

  private:
    // Runs `command` with the controller's messages caught; ends `done` with the first error
    // caught, or leaves it for the transfer's end when `command` started one.
    void run(const std::function<void()>& command, Done done, bool mayStartTransfer = false);
    void endTransfer();

    DeviceController& device_;
    TSettingsForm& settings_;
    TControlPanelForm& controlPanel_;
    std::function<void(const std::string&)> setPortStatus_;
    std::vector<std::string> errors_; // caught while a command or transfer runs
    std::vector<Done> transferWaiters_;
};

} // namespace ombrix
