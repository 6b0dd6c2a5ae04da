#include "app/mainactions.h"

#include "gui/charts/chartmenu.h"
#include "gui/common/fieldevents.h"
#include "gui/common/toolicons.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

namespace ombrix {

namespace {

void buildToolBar(QMainWindow& window, ChartMenu& chartMenu, MainActions& a) {
    auto* bar = window.addToolBar("ToolBar1");
    bar->setObjectName("ToolBar1");
    bar->setMovable(false);
    bar->setIconSize(QSize(32, 32));
    struct Button {
        QToolButton** slot;
        const char* name;
        const char* caption;
        ToolIcon icon;
        bool enabled;
        bool separatorBefore;
    };
    const Button buttons[] = {
        {&a.sendAllButton, "ToolButton1", "&Send all", ToolIcon::SendAll, false, false},
        {&a.stopButton, "ToolButton2", "Stop", ToolIcon::Stop, false, false},
        {&a.connectButton, "ToolButton3", "&Connect", ToolIcon::Connect, true, false},
        {&a.disconnectButton, "ToolButton4", "&Disconnect", ToolIcon::Disconnect, false, false},
        {&a.controlPanelButton, "ToolButton5", "Control &panel", ToolIcon::ControlPanel, true,
         false},
        {&a.newButton, "ToolButton7", "&New", ToolIcon::New, true, true},
        {&a.saveButton, "ToolButton8", "Sa&ve", ToolIcon::Save, true, false},
        {&a.openButton, "ToolButton9", "&Open", ToolIcon::Open, true, false},
        {&a.settingsButton, "ToolButton11", "Se&ttings", ToolIcon::Settings, true, true},
    };
    for (const Button& b : buttons) {
        if (b.separatorBefore)
            bar->addSeparator();
        auto* button = new QToolButton(bar);
        button->setObjectName(b.name);
        button->setText(b.caption);
        button->setIcon(toolIcon(b.icon));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setMinimumSize(75, 52);
        button->setEnabled(b.enabled);
        bar->addWidget(button);
        *b.slot = button;
        QObject::connect(button, &QToolButton::pressed, button, [] { commitFocusedField(); });
    }
    a.sendDataMenu = new QMenu(&window);
    a.sendDataMenu->setObjectName("PopupMenuSendData");
    a.sendAll = a.sendDataMenu->addAction("Send &all");
    a.sendSamples = a.sendDataMenu->addAction("Send &samples");
    a.changeFrequency = a.sendDataMenu->addAction("Change &frequency");
    a.changeReference = a.sendDataMenu->addAction("Change &reference voltage");
    for (QMenu* menu : {a.sendDataMenu, static_cast<QMenu*>(&chartMenu)})
        QObject::connect(menu, &QMenu::aboutToShow, menu, [] { commitFocusedField(); });
    a.sendAllButton->setMenu(a.sendDataMenu);
    a.sendAllButton->setPopupMode(QToolButton::MenuButtonPopup);
    a.settingsButton->setMenu(&chartMenu);
    a.settingsButton->setPopupMode(QToolButton::MenuButtonPopup);
}

// A menu item whose shortcut acts on the committed field: the commit is connected before
// any command of the item's owner.
QAction* addItem(QMenu* menu, const char* name, const char* caption,
                 const QKeySequence& shortcut = {}) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    a->setShortcut(shortcut);
    QObject::connect(a, &QAction::triggered, a, [] { commitFocusedField(); });
    return a;
}

void buildMenus(QMainWindow& window, MainActions& a) {
    QMenuBar* bar = window.menuBar();
    a.fileMenu = bar->addMenu("&File");
    QMenu* file = a.fileMenu;
    a.newForms = addItem(file, "New1", "&New forms", Qt::Key_F4);
    a.open = addItem(file, "Open1", "&Open saved forms", Qt::Key_F3);
    a.save = addItem(file, "Save1", "&Save forms", Qt::Key_F2);
    a.save->setEnabled(false);
    a.saveAs = addItem(file, "Saveas1", "S&ave forms as...", Qt::SHIFT | Qt::Key_F2);
    file->addSeparator();
    a.exportSamples = addItem(file, "Export1", "Export samples...");
    a.recentMenu = file->addMenu("&Recent forms");
    a.recentMenu->setObjectName("RecentForms1");
    file->addSeparator();
    a.exit = addItem(file, "Exit1", "E&xit");

    QMenu* edit = bar->addMenu("&Edit");
    a.undo = edit->addAction("&Undo");
    a.undo->setObjectName("Undo1");
    a.undo->setShortcut(QKeySequence::Undo);
    a.redo = edit->addAction("&Redo");
    a.redo->setObjectName("Redo1");
    a.redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));

    QMenu* view = bar->addMenu("&View");
    a.controlPanel = addItem(view, "ControlPanel1", "&Control Panel", Qt::Key_F8);
    a.controlPanel->setCheckable(true);
    a.deviceMonitor = addItem(view, "DeviceMonitor1", "Device &monitor");
    a.lineLog = addItem(view, "LineLog1", "&Line log");

    QMenu* setup = bar->addMenu("&Setup");
    a.settings = addItem(setup, "SerialPortSetup1", "&Settings");
    a.checkConnection = addItem(setup, "CheckConnection1", "&Check Connection with device");
    a.dspVersion = addItem(setup, "DSPVersion1", "Show &DSP program version");
    a.resetDsp = addItem(setup, "ResetDSP1", "&Reset DSP");
    a.remoteControl = addItem(setup, "RemoteControl1", "Remote control...");

    a.about = bar->addAction("&About");
    a.about->setObjectName("About1");
}

} // namespace

MainActions buildMainActions(QMainWindow& window, ChartMenu& chartMenu) {
    MainActions actions;
    buildToolBar(window, chartMenu, actions);
    buildMenus(window, actions);
    return actions;
}

} // namespace ombrix
