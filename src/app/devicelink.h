// The device link of the main window: the device controller bound to the tool bar, the
// "&Send all" drop-down, the Setup menu, the status bar and the progress bar; the control
// panel and its "playing" marks; the device monitor and the line log; and "Device differs"
// in the status bar.
#pragma once

#include "core/device/serialport.h"
#include "gui/device/devicecontroller.h"
#include "gui/dialogs/settingsform.h"

#include <QObject>

#include <memory>

class QMainWindow;

namespace ombrix {

class Calculation;
class ChartMenu;
class Clock;
class DeviceController;
class DeviceMonitor;
class FieldBinding;
class FormsDocument;
class LineLogWindow;
class PlaybackReadout;
class TControlPanelForm;
struct MainActions;
struct MainPages;

// What the device link talks to. By default the program's own: the terminal device (or the
// paced simulator) named in the settings, on the system clock, with the system's port list.
struct LinkSetup {
    std::unique_ptr<SerialPort> port; // another port (tests: an unpaced simulator)
    Clock* clock = nullptr;           // the clock `port` runs on (the system clock if none)
    TSettingsForm::PortLister ports;  // the settings dialog's port list
};

class DeviceLink : public QObject {
    Q_OBJECT
  public:
    // The parts and windows of `window` the link works with.
    struct Window {
        QMainWindow& window;
        const MainActions& actions;
        MainPages& pages;
        const ChartMenu& chartMenu;
        TControlPanelForm& controlPanel;
        TSettingsForm& settings;
        char sep; // the locale's decimal separator
    };

    DeviceLink(Window w, LinkSetup setup, FormsDocument& document, Calculation& calculation,
               FieldBinding& binding, PlaybackReadout& readout);
    ~DeviceLink() override;

    DeviceController& device() { return *device_; }
    DeviceMonitor& monitor() { return *monitor_; }
    LineLogWindow& lineLog() { return *lineLog_; }

    // The main window's FormDestroy: stops a running transfer, then the shut-down frames.
    void shutdown();

    // ---- device commands from elsewhere than the window (a remote client) ----
    // Asks for `request` as the window's controls do: one job on the link thread after every
    // job asked before it; `done` gets its outcome on the GUI thread. See LinkRequest.
    void request(const LinkRequest& request, DeviceController::OutcomeHandler done = {});
    // Disconnected, Connected, or Busy while a job waits or runs.
    LinkState linkState() const;

  signals:
    // The outputs playing on the device changed (bit k-1 = Output k).
    void runMaskChanged(std::uint8_t mask);

  public:
    // "Control &panel": the panel at the main frequency, beside the window the first time.
    void showControlPanel();
    // "&Control Panel" in the View menu, whose tick has already flipped.
    void toggleControlPanel();
    // The settings dialog on page 0 ("&Commnuncation") or 1 ("&Advanced").
    void openSettings(int page);
    // Shows the device monitor (`monitor`) or the line log.
    void showDeviceWindow(bool monitor);

  private:
    void bindControlPanel(FormsDocument& document, FieldBinding& binding);
    void followLinkState();
    void placeControlPanel();

    Window w_;
    PlaybackReadout& readout_;
    // All three are owned by the main window (Qt parent). The controller is adopted last, so
    // that the two windows that read it are destroyed before it.
    DeviceController* device_ = nullptr;
    DeviceMonitor* monitor_ = nullptr;
    LineLogWindow* lineLog_ = nullptr;
    bool controlPanelPlaced_ = false;
};

} // namespace ombrix
