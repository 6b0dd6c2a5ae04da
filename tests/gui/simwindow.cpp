#include "simwindow.h"

#include "gui/device/devicecontroller.h"
#include "simprobe.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QToolButton>

namespace ombrix::testkit {

SimulatorWindow::SimulatorWindow()
    : w(std::make_unique<TOmbrix>(
          LinkSetup{makeUnpacedProgramPort(clock), &clock,
                    [] { return std::optional(QStringList{"Simulator"}); }})),
      panel(&w->controlPanel()), settings(&w->settingsForm()) {
    w->setMessageHandler([this](const QString& t, const QString&) { messages.push_back(t); });
    w->link().device().setMessageHook([this](const MessageRequest& r) {
        messages.push_back(r.text);
        return true;
    });
}

SimulatorWindow::~SimulatorWindow() {
    w.reset();
}

void SimulatorWindow::connectToSimulator() {
    settings->PortSelect_ComboBox->setEditText("Simulator");
    settings->ButtonOKClick();
    w->actions().connectButton->click();
}

bool SimulatorWindow::sendAll() {
    QSignalSpy done(&w->link().device(), &DeviceController::transferFinished);
    w->actions().sendAllButton->click();
    return !w->link().device().transferRunning() || done.wait(20000);
}

} // namespace ombrix::testkit
