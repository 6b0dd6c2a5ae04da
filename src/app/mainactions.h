// The main window's commands, created once: the tool bar's buttons, the "&Send all" drop-down
// and the menu bar's items, each a member named by its role. Nothing looks a command up by
// name; whoever acts on one is handed this struct.
#pragma once

class QAction;
class QMainWindow;
class QMenu;
class QToolButton;

namespace ombrix {

class ChartMenu;

struct MainActions {
    // The tool bar, in its order.
    QToolButton* sendAllButton = nullptr;      // "&Send all", drop-down sendDataMenu
    QToolButton* stopButton = nullptr;         // "Stop"
    QToolButton* connectButton = nullptr;      // "&Connect"
    QToolButton* disconnectButton = nullptr;   // "&Disconnect"
    QToolButton* controlPanelButton = nullptr; // "Control &panel"
    QToolButton* newButton = nullptr;          // "&New"
    QToolButton* saveButton = nullptr;         // "Sa&ve"
    QToolButton* openButton = nullptr;         // "&Open"
    QToolButton* settingsButton = nullptr;     // "Se&ttings", drop-down the chart menu

    // The "&Send all" drop-down.
    QMenu* sendDataMenu = nullptr;
    QAction* sendAll = nullptr;         // "Send &all"
    QAction* sendSamples = nullptr;     // "Send &samples"
    QAction* changeFrequency = nullptr; // "Change &frequency"
    QAction* changeReference = nullptr; // "Change &reference voltage"

    // "&File"
    QMenu* fileMenu = nullptr;
    QAction* newForms = nullptr;      // "&New forms", F4
    QAction* open = nullptr;          // "&Open saved forms", F3
    QAction* save = nullptr;          // "&Save forms", F2
    QAction* saveAs = nullptr;        // "S&ave forms as...", Shift+F2
    QAction* exportSamples = nullptr; // "Export samples..."
    QMenu* recentMenu = nullptr;      // "&Recent forms"
    QAction* exit = nullptr;          // "E&xit"
    // "&Edit"
    QAction* undo = nullptr; // "&Undo", Ctrl+Z
    QAction* redo = nullptr; // "&Redo", Ctrl+Shift+Z
    // "&View"
    QAction* controlPanel = nullptr;  // "&Control Panel", F8, ticked while the panel shows
    QAction* deviceMonitor = nullptr; // "Device &monitor"
    QAction* lineLog = nullptr;       // "&Line log"
    // "&Setup"
    QAction* settings = nullptr;        // "&Settings"
    QAction* checkConnection = nullptr; // "&Check Connection with device"
    QAction* dspVersion = nullptr;      // "Show &DSP program version"
    QAction* resetDsp = nullptr;        // "&Reset DSP"
    QAction* remoteControl = nullptr;   // "Remote control..."
    // "&About", the menu title itself
    QAction* about = nullptr;
};

// Builds the tool bar and the menu bar of `window` in their order, with their captions,
// shortcuts and start-up enabling. Every button, item and drop-down first commits the field
// being typed into: they take no focus, so the field is not left. `chartMenu` becomes the
// drop-down of "Se&ttings". The commands are connected by their owners.
MainActions buildMainActions(QMainWindow& window, ChartMenu& chartMenu);

} // namespace ombrix
