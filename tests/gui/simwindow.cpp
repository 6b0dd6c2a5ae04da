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
    waitForLink(*w);
}

bool SimulatorWindow::sendAll() {
    w->actions().sendAllButton->click();
    return waitForLink(*w, 20000);
}

} // namespace ombrix::testkit
