// The main window's link to the other windows and the device: control panel, settings
// dialog and the device controller bound to the tool bar, menus and status bar.
#include "app/ombrix.h"

#include "gui/charts/chartmenu.h"
#include "gui/charts/chartview.h"
#include "gui/common/placement.h"
#include "gui/device/controlpanel.h"
#include "gui/device/devicecontroller.h"
#include "gui/dialogs/aboutform.h"
#include "gui/dialogs/settingsform.h"
#include "gui/monitor/devicemonitor.h"
#include "gui/monitor/linelogwindow.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

namespace ombrix {

void TOmbrix::attachWindows(TControlPanelForm* controlPanel, TSettingsForm* settings,
                            TEquForm* equationEditor, TAboutForm* about) {
    controlPanel_ = controlPanel;
    settings_ = settings;
    equationEditor_ = equationEditor;
    about_ = about;
    if (controlPanel_) {
        connect(controlPanel_, &TControlPanelForm::closed, this,
                [this] { menuAction("ControlPanel1")->setChecked(false); });
        connect(controlPanel_->ControlPanelFreq, &QLineEdit::textChanged, this,
                [this](const QString& t) {
                    controlPanelFreq_ = t.toStdString();
                    refreshRealFrequency();
                });
        connect(controlPanel_, &TControlPanelForm::frequencyLeft, this, [this] {
            applyOutcome(ControlPanelFreqExit(controlPanelFreq_, maxFrequency_, sep_));
        });
    }
    if (settings_) {
        // A changed quartz or instruction count moves the frequency limit: recompute it and
        // clamp the frequency fields as a change of the sample count does.
        connect(settings_, &TSettingsForm::timingSettingsChanged, this, [this] {
            sampleCountChanged();
            refreshRealFrequency();
        });
        setDevice(std::make_unique<DeviceController>(deviceBindings()));
    }
}

DeviceBindings TOmbrix::deviceBindings() {
    DeviceBindings b;
    b.sendAll = toolButtons_[1];
    b.stop = toolButtons_[2];
    b.connect = toolButtons_[3];
    b.disconnect = toolButtons_[4];
    const QList<QAction*> items = sendDataMenu_->actions();
    b.sendAllItem = items[0];
    b.sendSamplesItem = items[1];
    b.changeFrequencyItem = items[2];
    b.changeReferenceItem = items[3];
    b.checkConnection = menuAction("CheckConnection1");
    b.dspVersion = menuAction("DSPVersion1");
    b.resetDsp = menuAction("ResetDSP1");
    for (int k = 0; k < 6; ++k)
        b.statusPanels[k] = statusPanels_[k];
    b.progress = progress_;
    b.forms = [this] { return forms_; };
    // A transfer takes the samples of the forms as they stand: a calculation still running
    // (a field committed just before Send all) is waited for.
    b.samples = [this] {
        finishCalculation();
        return samples_;
    };
    b.formViewSelected = [this] { return chartMenu_->view() == ViewKind::Form; };
    b.recalculate = [this] {
        CalculateForms(0, kOutputCount - 1);
        finishCalculation();
    };
    b.decimalSeparator = sep_;
    b.settings = settings_;
    b.window = this;
    return b;
}

void TOmbrix::setDevice(std::unique_ptr<DeviceController> device) {
    monitor_.reset();
    lineLog_.reset();
    device_ = std::move(device);
    if (!device_)
        return;
    monitor_ = std::make_unique<DeviceMonitor>(*device_, this);
    lineLog_ = std::make_unique<LineLogWindow>(device_->lineRecorder(), this);
    if (!deviceDiffers_) {
        deviceDiffers_ = new QLabel(this);
        deviceDiffers_->setObjectName("DeviceDiffers");
        deviceDiffers_->setStyleSheet("color: red");
        statusBar()->addPermanentWidget(deviceDiffers_);
    }
    deviceDiffers_->clear();
    connect(monitor_.get(), &DeviceMonitor::differenceChanged, deviceDiffers_, &QLabel::setText);
    connect(device_.get(), &DeviceController::linkStateChanged, this, &TOmbrix::followLinkState);
    bindControlPanel();
    followLinkState();
}

void TOmbrix::followLinkState() {
    if (!controlPanel_ || !device_)
        return;
    controlPanel_->setButtonsEnabled(device_->panelButtonsEnabled());
    controlPanel_->setFrequencyEnabled(device_->panelFrequencyEnabled());
}

void TOmbrix::bindControlPanel() {
    if (!controlPanel_ || !device_)
        return;
    ControlPanelLink link;
    link.commands = &device_->commands();
    link.active = [this] { return forms_.General.Active; };
    link.mainFreq = [this] { return forms_.General.Freq; };
    link.setMainFreq = [this](const std::string& text) {
        general_.Freq->setText(QString::fromStdString(text));
    };
    link.numOfSam = [this] { return forms_.General.NumOfSam; };
    link.maxFrequency = [this] { return maxFrequency_; };
    link.settings = [this]() -> const DeviceSettings* {
        return settings_ ? &settings_->settings() : nullptr;
    };
    link.sep = sep_;
    controlPanel_->setLink(std::move(link));
    controlPanel_->setTrackBarMaximum(trackBarMax_);
}

void TOmbrix::openSettings(int page) {
    if (!settings_)
        return;
    settings_->showOnPage(page);
    // New reference voltages move the converter's limits.
    refreshConverterLimits();
    refreshRealFrequency();
}

void TOmbrix::placeControlPanel() {
    // The first time it opens, beside the main window rather than over its menus; after that
    // where the user left it.
    if (controlPanelPlaced_ || !controlPanel_ || !isVisible())
        return;
    controlPanelPlaced_ = true;
    const QScreen* screen = this->screen();
    if (!screen)
        return;
    controlPanel_->adjustSize();
    const QSize frame = controlPanel_->frameGeometry().size().expandedTo(controlPanel_->size());
    // What it should not cover: the title, menus and tool bar, and the page's fields.
    const QRect top(frameGeometry().topLeft(),
                    QPoint(frameGeometry().right(),
                           pages_->mapToGlobal(QPoint(0, 0)).y() + pages_->tabBar()->height()));
    const QWidget* page = pages_->currentWidget();
    const QRect fields(page->mapToGlobal(QPoint(0, 0)),
                       QSize(page->width() - shownChart()->width(), page->height()));
    controlPanel_->move(
        besideWindow(frameGeometry(), frame, screen->availableGeometry(), {top, fields}));
}

void TOmbrix::showControlPanel() {
    if (!controlPanel_)
        return;
    placeControlPanel();
    menuAction("ControlPanel1")->setChecked(true);
    controlPanel_->showWithFrequency(general_.Freq->text());
}

void TOmbrix::toggleControlPanel() {
    if (!controlPanel_)
        return;
    // The action has already flipped its tick: follow it.
    if (menuAction("ControlPanel1")->isChecked()) {
        placeControlPanel();
        controlPanel_->show(); // the View menu leaves the frequency as it is
        controlPanel_->raise();
    } else
        controlPanel_->hide();
}

void TOmbrix::showDeviceWindow(bool monitor) {
    QWidget* window = monitor ? static_cast<QWidget*>(monitor_.get()) : lineLog_.get();
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace ombrix
