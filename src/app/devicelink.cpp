#include "app/devicelink.h"

#include "app/calculation.h"
#include "app/fieldbinding.h"
#include "app/formsdocument.h"
#include "app/mainactions.h"
#include "app/mainpages.h"
#include "app/playbackreadout.h"
#include "core/device/clock.h"
#include "gui/charts/chartmenu.h"
#include "gui/charts/chartview.h"
#include "gui/common/fieldevents.h"
#include "gui/common/placement.h"
#include "gui/device/controlpanel.h"
#include "gui/device/devicecontroller.h"
#include "gui/monitor/devicemonitor.h"
#include "gui/monitor/linelogwindow.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

namespace ombrix {

namespace {

DeviceBindings deviceBindings(const DeviceLink::Window& w, FormsDocument& document,
                              Calculation& calculation) {
    DeviceBindings b;
    b.sendAll = w.actions.sendAllButton;
    b.stop = w.actions.stopButton;
    b.connect = w.actions.connectButton;
    b.disconnect = w.actions.disconnectButton;
    b.sendAllItem = w.actions.sendAll;
    b.sendSamplesItem = w.actions.sendSamples;
    b.changeFrequencyItem = w.actions.changeFrequency;
    b.changeReferenceItem = w.actions.changeReference;
    b.checkConnection = w.actions.checkConnection;
    b.dspVersion = w.actions.dspVersion;
    b.resetDsp = w.actions.resetDsp;
    b.statusPanels = w.pages.statusPanels;
    b.progress = w.pages.progress;
    b.forms = [&document] { return document.forms(); };
    // A transfer takes the samples of the forms as they stand: a calculation still running
    // (a field committed just before Send all) is waited for.
    b.samples = [&calculation] {
        calculation.finishCalculation();
        return calculation.allSamples();
    };
    const ChartMenu& chartMenu = w.chartMenu;
    b.formViewSelected = [&chartMenu] { return chartMenu.view() == ViewKind::Form; };
    b.recalculate = [&calculation] {
        calculation.CalculateForms(0, kOutputCount - 1);
        calculation.finishCalculation();
    };
    b.decimalSeparator = w.sep;
    b.settings = &w.settings;
    b.window = &w.window;
    return b;
}

} // namespace

DeviceLink::DeviceLink(Window w, LinkSetup setup, FormsDocument& document, Calculation& calculation,
                       FieldBinding& binding, PlaybackReadout& readout)
    : w_(w), readout_(readout) {
    DeviceBindings bindings = deviceBindings(w_, document, calculation);
    auto device =
        setup.port ? std::make_unique<DeviceController>(std::move(bindings), std::move(setup.port),
                                                        setup.clock ? *setup.clock : systemClock())
                   : std::make_unique<DeviceController>(std::move(bindings));
    monitor_ = new DeviceMonitor(*device, &w_.window);
    lineLog_ = new LineLogWindow(device->lineRecorder(), &w_.window);
    device_ = device.release();
    device_->setParent(&w_.window);

    w_.pages.deviceDiffers->clear();
    connect(monitor_, &DeviceMonitor::differenceChanged, w_.pages.deviceDiffers, &QLabel::setText);
    connect(device_, &DeviceController::linkStateChanged, this, &DeviceLink::followLinkState);
    connect(device_, &DeviceController::runMaskChanged, &w_.controlPanel,
            &TControlPanelForm::showPlaying);
    connect(device_, &DeviceController::runMaskChanged, this, &DeviceLink::runMaskChanged);
    connect(&binding, &FieldBinding::sweepSwitched, device_, &DeviceController::sweepSwitched);
    connect(&binding, &FieldBinding::sampleCountEdited, device_,
            &DeviceController::setSampleCountChanged);
    connect(&binding, &FieldBinding::settingsRequested, this, &DeviceLink::openSettings);
    connect(&w_.controlPanel, &TControlPanelForm::closed, this,
            [this] { w_.actions.controlPanel->setChecked(false); });
    bindControlPanel(document, binding);
    followLinkState();
}

DeviceLink::~DeviceLink() = default;

void DeviceLink::shutdown() {
    device_->shutdown();
}

void DeviceLink::request(const LinkRequest& request, DeviceController::OutcomeHandler done) {
    device_->request(request, std::move(done));
}

LinkState DeviceLink::linkState() const {
    return device_->linkState();
}

void DeviceLink::bindControlPanel(FormsDocument& document, FieldBinding& binding) {
    ControlPanelLink link;
    DeviceController* device = device_;
    link.runMask = [device] { return device->runMask(); };
    link.sendRunMask = [device](std::uint8_t mask) {
        device->request({LinkJobKind::RunMask, 0, mask});
    };
    link.sendFrequency = [device](double hz) {
        device->request({LinkJobKind::PanelFrequency, hz});
    };
    link.active = [&document] { return document.forms().General.Active; };
    link.mainFreq = [&document] { return document.forms().General.Freq; };
    QLineEdit* freq = w_.pages.general.Freq;
    link.setMainFreq = [freq](const std::string& text) {
        const QString t = QString::fromStdString(text);
        if (freq->text() == t)
            return;
        freq->setText(t);
        // A finished change of the frequency, as if typed and left: a spectrum view follows
        // it, and it is an undo step and reaches the forms kept for the next start.
        leaveField(freq);
    };
    link.maxFrequency = [&binding] { return binding.MaxFrequency(); };
    TSettingsForm& settings = w_.settings;
    link.settings = [&settings]() -> const DeviceSettings* { return &settings.settings(); };
    link.sep = w_.sep;
    w_.controlPanel.setLink(std::move(link));
}

void DeviceLink::followLinkState() {
    w_.controlPanel.setButtonsEnabled(device_->panelButtonsEnabled());
    w_.controlPanel.setFrequencyEnabled(device_->panelFrequencyEnabled());
}

void DeviceLink::openSettings(int page) {
    w_.settings.showOnPage(page);
    // New reference voltages move the converter's limits.
    readout_.refreshConverterLimits();
    readout_.refreshRealFrequency();
}

void DeviceLink::placeControlPanel() {
    // The first time it opens, beside the main window rather than over its menus; after that
    // where the user left it.
    QMainWindow& window = w_.window;
    TControlPanelForm& panel = w_.controlPanel;
    if (controlPanelPlaced_ || !window.isVisible())
        return;
    controlPanelPlaced_ = true;
    const QScreen* screen = window.screen();
    if (!screen)
        return;
    panel.adjustSize();
    const QSize frame = panel.frameGeometry().size().expandedTo(panel.size());
    // What it should not cover: the title, menus and tool bar, and the page's fields.
    const QTabWidget* pages = w_.pages.pages;
    const QRect top(window.frameGeometry().topLeft(),
                    QPoint(window.frameGeometry().right(),
                           pages->mapToGlobal(QPoint(0, 0)).y() + pages->tabBar()->height()));
    const QWidget* page = pages->currentWidget();
    const QRect fields(page->mapToGlobal(QPoint(0, 0)),
                       QSize(page->width() - w_.pages.shownChart()->width(), page->height()));
    panel.move(
        besideWindow(window.frameGeometry(), frame, screen->availableGeometry(), {top, fields}));
}

void DeviceLink::showControlPanel() {
    placeControlPanel();
    w_.actions.controlPanel->setChecked(true);
    w_.controlPanel.showWithFrequency(w_.pages.general.Freq->text());
}

void DeviceLink::toggleControlPanel() {
    if (w_.actions.controlPanel->isChecked()) {
        placeControlPanel();
        w_.controlPanel.show(); // the View menu leaves the frequency as it is
        w_.controlPanel.raise();
    } else
        w_.controlPanel.hide();
}

void DeviceLink::showDeviceWindow(bool monitor) {
    QWidget* window = monitor ? static_cast<QWidget*>(monitor_) : lineLog_;
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace ombrix
