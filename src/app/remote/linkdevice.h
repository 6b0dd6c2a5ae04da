// Remote control's device commands as jobs of the device link: the same jobs the tool
// buttons and the control panel ask for, in the same queue, with their outcome (and the
// messages they raised, instead of boxes) handed to the asking client.
#pragma once

#include "app/remote/remotedevice.h"

#include <functional>

namespace ombrix {

class DeviceLink;
class TControlPanelForm;
class TSettingsForm;

class LinkDevice : public RemoteDevice {
  public:
    // `setPortStatus` writes the status bar's port panel as the dialog's OK does.
    LinkDevice(DeviceLink& link, TSettingsForm& settings, TControlPanelForm& controlPanel,
               std::function<void(const std::string&)> setPortStatus);

    State state() const override;
    std::string port() const override;
    std::optional<std::string> setPort(const std::string& name) override;
    void connectDevice(Done done) override;
    void disconnectDevice(Done done) override;
    void sendAll(Done done) override;
    bool outputPlaying(int output) const override;
    void setOutput(int output, bool on, Done done) override;

  private:
    DeviceLink& link_;
    TSettingsForm& settings_;
    TControlPanelForm& controlPanel_;
    std::function<void(const std::string&)> setPortStatus_;
};

} // namespace ombrix
