// The main window with its control panel and settings dialog, bound to the in-process
// simulated generator through an unpaced port on a fake clock, for GUI tests that drive the
// window to the device. Messages are collected instead of shown.
#pragma once

#include "app/ombrix.h"
#include "gui/device/controlpanel.h"
#include "gui/dialogs/settingsform.h"
#include "linkwait.h"
#include "testkit/fakeclock.h"

#include <QString>

#include <memory>
#include <vector>

namespace ombrix::testkit {

struct SimulatorWindow {
    SimulatorWindow();
    ~SimulatorWindow(); // the window (and its device) goes before the clock it reads

    // Chooses the port "Simulator" in the settings dialog, presses Connect and waits for it.
    void connectToSimulator();
    // Presses Send all and waits for the transfer to end (false when it does not).
    bool sendAll();

    FakeClock clock;
    std::vector<QString> messages;
    std::unique_ptr<TOmbrix> w;
    TControlPanelForm* panel = nullptr;
    TSettingsForm* settings = nullptr;
};

} // namespace ombrix::testkit
