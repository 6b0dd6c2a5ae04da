#include "app/remote/linkdevice.h"

#include "app/devicelink.h"
#include "core/device/runmask.h"
#include "gui/device/controlpanel.h"
#include "gui/device/devicecontroller.h"
#include "gui/dialogs/settingsform.h"

#include <QComboBox>
#include <QPushButton>

namespace ombrix {

namespace {

// The job's outcome as the client reads it: nothing when it ran without an error message.
DeviceController::OutcomeHandler report(RemoteDevice::Done done) {
    return [done = std::move(done)](const LinkOutcome& o) {
        if (!o.errors.empty()) {
            done(o.errors.front());
            return;
        }
        switch (o.status) {
        case LinkOutcome::Status::Done:
            done(std::nullopt);
            break;
        case LinkOutcome::Status::Replaced:
            done(std::string("A newer command of its kind took its place."));
            break;
        case LinkOutcome::Status::Dropped:
            done(std::string("The link closed before the command ran."));
            break;
        case LinkOutcome::Status::Refused:
            done(std::string("Refused: not connected, or the forms cannot be sent."));
            break;
        }
    };
}

LinkRequest quiet(LinkJobKind kind) {
    LinkRequest r;
    r.kind = kind;
    r.showMessages = false; // the messages go to the client, never to a box
    return r;
}

} // namespace

LinkDevice::LinkDevice(DeviceLink& link, TSettingsForm& settings, TControlPanelForm& controlPanel,
                       std::function<void(const std::string&)> setPortStatus)
    : link_(link), settings_(settings), controlPanel_(controlPanel),
      setPortStatus_(std::move(setPortStatus)) {}

RemoteDevice::State LinkDevice::state() const {
    switch (link_.linkState()) {
    case LinkState::Connected:
        return State::Connected;
    case LinkState::Busy:
        return State::Busy;
    case LinkState::Disconnected:
        break;
    }
    return State::Disconnected;
}

std::string LinkDevice::port() const {
    return settings_.settings().PortName;
}

std::optional<std::string> LinkDevice::setPort(const std::string& name) {
    if (name.empty())
        return "Please select or type the serial port to use.";
    if (link_.linkState() != LinkState::Disconnected)
        return "Disconnect before the port is changed.";
    settings_.PortSelect_ComboBox->setEditText(QString::fromStdString(name));
    settings_.settings().PortName = name;
    if (setPortStatus_)
        setPortStatus_(name);
    return std::nullopt;
}

void LinkDevice::connectDevice(Done done) {
    link_.request(quiet(LinkJobKind::Connect), report(std::move(done)));
}

void LinkDevice::disconnectDevice(Done done) {
    link_.request(quiet(LinkJobKind::Disconnect), report(std::move(done)));
}

void LinkDevice::sendAll(Done done) {
    link_.request(quiet(LinkJobKind::SendAll), report(std::move(done)));
}

bool LinkDevice::outputPlaying(int output) const {
    return (link_.device().runMask() & (1u << output)) != 0;
}

void LinkDevice::setOutput(int output, bool on, Done done) {
    // The control panel's Start or Stop of the output's row: usable only as the panel is.
    const QPushButton* button =
        on ? controlPanel_.startButton.at(output) : controlPanel_.stopButton.at(output);
    if (!button->isEnabled()) {
        done(std::string("The control panel's Start and Stop are not usable now."));
        return;
    }
    const std::uint8_t mask = on ? startOutput(link_.device().runMask(), output)
                                 : stopOutput(link_.device().runMask(), output);
    LinkRequest r = quiet(LinkJobKind::RunMask);
    r.runMask = mask;
    link_.request(r, report(std::move(done)));
}

} // namespace ombrix
