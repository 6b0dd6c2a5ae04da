#include "app/remote/controllerdevice.h"

#include "core/model/formsconfig.h"
#include "gui/device/controlpanel.h"
#include "gui/device/devicecontroller.h"
#include "gui/dialogs/settingsform.h"

#include <QComboBox>
#include <QPushButton>

namespace ombrix {

ControllerDevice::ControllerDevice(DeviceController& device, TSettingsForm& settings,
                                   TControlPanelForm& controlPanel,
                                   std::function<void(const std::string&)> setPortStatus)
    : device_(device), settings_(settings), controlPanel_(controlPanel),
      setPortStatus_(std::move(setPortStatus)) {
    connect(&device_, &DeviceController::transferFinished, this, &ControllerDevice::endTransfer);
}

ControllerDevice::~ControllerDevice() {
    if (!transferWaiters_.empty())
        device_.setMessageHook({});
}

RemoteDevice::State ControllerDevice::state() const {
    if (device_.transferRunning())
        return State::Busy;
    return device_.isConnected() ? State::Connected : State::Disconnected;
}

std::string ControllerDevice::port() const {
    return settings_.settings().PortName;
}

std::optional<std::string> ControllerDevice::setPort(const std::string& name) {
    if (name.empty())
        return "Please select or type the serial port to use.";
    if (device_.isConnected() || device_.transferRunning())
        return "Disconnect before the port is changed.";
    settings_.PortSelect_ComboBox->setEditText(QString::fromStdString(name));
    settings_.settings().PortName = name;
    if (setPortStatus_)
        setPortStatus_(name);
    return std::nullopt;
}

void ControllerDevice::run(const std::function<void()>& command, Done done, bool mayStartTransfer) {
    errors_.clear();
    device_.setMessageHook([this](const MessageRequest& r) {
        if (r.icon == MessageIcon::Error || r.icon == MessageIcon::Warning)
            errors_.push_back(r.text.toStdString());
        return false; // a question is answered No
    });
    command();
    if (mayStartTransfer && device_.transferRunning()) {
        transferWaiters_.push_back(std::move(done)); // the hook stays until the end
        return;
    }
    device_.setMessageHook({});
    std::optional<std::string> error;
    if (!errors_.empty())
        error = errors_.front();
    done(error);
}

void ControllerDevice::endTransfer() {
    if (transferWaiters_.empty())
        return;
    device_.setMessageHook({});
    std::optional<std::string> error;
    if (!errors_.empty())
        error = errors_.front();
    std::vector<Done> waiters = std::move(transferWaiters_);
    transferWaiters_.clear();
    for (Done& done : waiters)
        done(error);
}

void ControllerDevice::connectDevice(Done done) {
    run([this] { device_.ToolButton3Click(); }, std::move(done));
}

void ControllerDevice::disconnectDevice(Done done) {
    run([this] { device_.ToolButton4Click(); }, std::move(done));
}

void ControllerDevice::sendAll(Done done) {
    if (device_.transferRunning()) {
        done(std::string("A transfer is running."));
        return;
    }
    if (!device_.isConnected()) {
        done(std::string("Not connected."));
        return;
    }
    run([this] { device_.Sendall1Click(); }, std::move(done), true);
}

bool ControllerDevice::outputPlaying(int output) const {
    return (device_.commands().RunMask.load() & (1u << output)) != 0;
}

void ControllerDevice::setOutput(int output, bool on, Done done) {
    QPushButton* button =
        on ? controlPanel_.startButton.at(output) : controlPanel_.stopButton.at(output);
    if (!device_.panelButtonsEnabled()) {
        done(std::string("The control panel's Start and Stop are not usable now."));
        return;
    }
    run([button] { button->click(); }, std::move(done));
}

} // namespace ombrix
