#include "simwindow.h"

#include "gui/device/devicecontroller.h"
#include "simprobe.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QToolButton>

namespace ombrix::testkit {

SimulatorWindow::SimulatorWindow() : w(std::make_unique<TOmbrix>()) {
    w->setMessageHandler([this](const QString& t, const QString&) { messages.push_back(t); });
    panel = new TControlPanelForm(w.get());
    settings = new TSettingsForm(w.get(), [] { return std::optional(QStringList{"Simulator"}); });
    w->attachWindows(panel, settings, nullptr, nullptr);
    auto device = std::make_unique<DeviceController>(w->deviceBindings(),
                                                     makeUnpacedProgramPort(clock), clock);
    device->setMessageHook([this](const MessageRequest& r) {
        messages.push_back(r.text);
        return true;
    });
    w->setDevice(std::move(device));
}

SimulatorWindow::~SimulatorWindow() {
    w.reset();
}

void SimulatorWindow::connectToSimulator() {
    settings->PortSelect_ComboBox->setEditText("Simulator");
    settings->ButtonOKClick();
    w->toolButton(3)->click();
}

bool SimulatorWindow::sendAll() {
    QSignalSpy done(w->device(), &DeviceController::transferFinished);
    w->toolButton(1)->click();
    return !w->device()->transferRunning() || done.wait(20000);
}

} // namespace ombrix::testkit
