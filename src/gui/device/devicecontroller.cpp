#include "gui/device/devicecontroller.h"

#include "core/device/selectingport.h"
#include "core/device/simport.h"
#include "gui/dialogs/settingsform.h"

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QToolButton>

namespace ombrix {

DeviceController::DeviceController(DeviceBindings bindings, QObject* parent)
    : DeviceController(std::move(bindings), makeProgramDevicePort(systemClock()), systemClock(),
                       parent) {}

DeviceController::DeviceController(DeviceBindings bindings, std::unique_ptr<SerialPort> port,
                                   Clock& clock, QObject* parent)
    : QObject(parent), b_(std::move(bindings)), port_(std::move(port)), clock_(clock),
      commands_(*port_, clock_, *this, *this), recorder_(std::make_unique<LineRecorder>(clock_)) {
    port_->setLineObserver(recorder_.get());
    bind();
    applyControls();
}

DeviceController::~DeviceController() {
    transfer_.stopAndJoin();
}

void DeviceController::bind() {
    auto onClick = [this](QToolButton* button, void (DeviceController::*handler)()) {
        if (button)
            connect(button, &QToolButton::clicked, this, handler);
    };
    auto onTrigger = [this](QAction* action, void (DeviceController::*handler)()) {
        if (action)
            connect(action, &QAction::triggered, this, handler);
    };
    onClick(b_.sendAll, &DeviceController::ToolButton1Click);
    onClick(b_.stop, &DeviceController::ToolButton2Click);
    onClick(b_.connect, &DeviceController::ToolButton3Click);
    onClick(b_.disconnect, &DeviceController::ToolButton4Click);
    onTrigger(b_.sendAllItem, &DeviceController::Sendall1Click);
    onTrigger(b_.sendSamplesItem, &DeviceController::Sendsamples1Click);
    onTrigger(b_.changeFrequencyItem, &DeviceController::Setfreq1Click);
    onTrigger(b_.changeReferenceItem, &DeviceController::Changereferencevoltage1Click);
    onTrigger(b_.checkConnection, &DeviceController::Checkconnection1Click);
    onTrigger(b_.dspVersion, &DeviceController::ShowDSPprogramversion1Click);
    onTrigger(b_.resetDsp, &DeviceController::ResetDSP1Click);
    if (b_.settings) {
        b_.settings->setPortOpenQuery([this] { return isConnected(); });
        b_.settings->setStatusHandler(
            [this](int panel, const QString& text) { SetStatusText(panel, text.toStdString()); });
    }
}

void DeviceController::setMessageHook(MessageHook hook) {
    hook_ = hook;
    if (b_.settings)
        b_.settings->setMessageHook(std::move(hook));
}

const DeviceSettings& DeviceController::settings() const {
    return b_.settings ? b_.settings->settings() : fallbackSettings_;
}

bool DeviceController::onGuiThread() const {
    return QThread::currentThread() == thread();
}

template <class F> void DeviceController::onGui(F&& f) {
    if (onGuiThread())
        f();
    else
        handOver_.post(std::forward<F>(f));
}

// ---- what the commands and the transfer report ----

void DeviceController::ShowMessage(const std::string& text, const std::string& caption,
                                   MessageIcon icon) {
    // From the transfer thread the box is queued: the worker goes on, the user reads it on
    // the GUI thread.
    onGui([this, request = MessageRequest{QString::fromStdString(text),
                                          QString::fromStdString(caption), icon, false}] {
        queueMessage(request);
    });
}

void DeviceController::queueMessage(MessageRequest request) {
    pendingMessages_.push_back(std::move(request));
    // A box is open: its event loop delivers the worker's next reports, and a message among
    // them waits for that box to close instead of opening over it.
    if (showingMessage_)
        return;
    showingMessage_ = true;
    while (!pendingMessages_.empty()) {
        const MessageRequest next = std::move(pendingMessages_.front());
        pendingMessages_.pop_front();
        showMessageBox(b_.window, next, hook_);
    }
    showingMessage_ = false;
}

bool DeviceController::AskYesNo(const std::string& text, const std::string& caption) {
    if (!onGuiThread())
        return false; // questions are never asked from the worker
    return showMessageBox(b_.window,
                          MessageRequest{QString::fromStdString(text),
                                         QString::fromStdString(caption), MessageIcon::Warning,
                                         true},
                          hook_);
}

void DeviceController::SetStatusText(int panel, const std::string& text) {
    onGui([this, panel, t = QString::fromStdString(text)] {
        if (panel >= 0 && panel < static_cast<int>(b_.statusPanels.size()) &&
            b_.statusPanels[static_cast<std::size_t>(panel)])
            b_.statusPanels[static_cast<std::size_t>(panel)]->setText(t);
    });
}

void DeviceController::EnableControls(const LinkControls& controls) {
    onGui([this, controls] {
        auto merge = [](std::optional<bool>& into, const std::optional<bool>& from) {
            if (from)
                into = from;
        };
        merge(state_.sendAll, controls.sendAll);
        merge(state_.stop, controls.stop);
        merge(state_.connect, controls.connect);
        merge(state_.disconnect, controls.disconnect);
        merge(state_.panelButtons, controls.panelButtons);
        merge(state_.panelFrequency, controls.panelFrequency);
        applyControls();
    });
}

void DeviceController::SetProgressMax(int maximum) {
    onGui([this, maximum] {
        if (b_.progress)
            b_.progress->setMaximum(maximum);
    });
}

void DeviceController::StepProgress() {
    onGui([this] {
        if (b_.progress)
            b_.progress->setValue(std::min(b_.progress->value() + 1, b_.progress->maximum()));
    });
}

void DeviceController::applyControls() {
    const bool formView = !b_.formViewSelected || b_.formViewSelected();
    auto set = [](QWidget* w, const std::optional<bool>& on) {
        if (w && on)
            w->setEnabled(*on);
    };
    if (b_.sendAll && state_.sendAll)
        b_.sendAll->setEnabled(*state_.sendAll && formView);
    set(b_.stop, state_.stop);
    set(b_.connect, state_.connect);
    set(b_.disconnect, state_.disconnect);
    // The Setup menu's test, version and reset share the port with a running transfer.
    for (QAction* a : {b_.checkConnection, b_.dspVersion, b_.resetDsp})
        if (a)
            a->setEnabled(!transferRunning_);
    emit linkStateChanged();
}

void DeviceController::followPort() {
    const bool linkShown = state_.connect == false || state_.disconnect == true ||
                           state_.sendAll == true || state_.panelButtons == true;
    if (!port_->IsOpen() && !transferRunning_ && linkShown) {
        SetStatusText(0, kDisconnectedText);
        EnableControls(disconnectedControls());
    }
    emit linkStateChanged();
}

void DeviceController::sweepSwitched(bool on) {
    followSweep(on);
    applyControls();
}

void DeviceController::followSweep(bool on) {
    if (on)
        state_.panelFrequency = false;
    else if (state_.panelButtons.value_or(false))
        state_.panelFrequency = true;
}

// ---- commands ----

void DeviceController::ToolButton3Click() {
    followSettingsInRecorder();
    commands_.Connect(settings());
    followPort();
}

void DeviceController::ToolButton4Click() {
    commands_.Disconnect();
    followPort();
}

void DeviceController::Checkconnection1Click() {
    if (transferRunning_)
        return;
    commands_.TestConnection(settings());
    followPort();
}

void DeviceController::ShowDSPprogramversion1Click() {
    if (transferRunning_)
        return;
    commands_.ShowDSPVersion(settings());
    followPort();
}

void DeviceController::ResetDSP1Click() {
    if (transferRunning_)
        return;
    commands_.ResetDSP(settings());
    followPort();
}

void DeviceController::Setfreq1Click() {
    if (transferRunning_ || !b_.forms)
        return;
    const FormsConfig f = b_.forms();
    commands_.ChangeFrequency(f.General.Freq, f.General.NumOfSam, settings(), b_.decimalSeparator);
}

void DeviceController::Changereferencevoltage1Click() {
    if (transferRunning_)
        return;
    commands_.ChangeReference(settings());
}

void DeviceController::ToolButton2Click() {
    if (transferRunning_)
        commands_.StopRequested = true;
    if (b_.progress)
        b_.progress->setValue(b_.progress->minimum());
}

void DeviceController::ToolButton1Click() {
    startTransfer(true, true);
}

void DeviceController::Sendall1Click() {
    startTransfer(true, false);
}

void DeviceController::Sendsamples1Click() {
    startTransfer(false, true);
}

TransferInput DeviceController::snapshot(bool sendAll) const {
    TransferInput in;
    in.sendAll = sendAll;
    in.settings = settings();
    in.sep = b_.decimalSeparator;
    if (b_.forms)
        in.general = b_.forms().General;
    if (b_.samples)
        in.samples = b_.samples();
    return in;
}

void DeviceController::startTransfer(bool sendAll, bool recalculateFirst) {
    if (transferRunning_)
        return;
    const LinkControls before = state_;
    EnableControls(transferStartControls());
    commands_.SendAllFlag = sendAll;
    if (recalculateFirst && commands_.SampleCountChanged && b_.recalculate) {
        b_.recalculate();
        commands_.SampleCountChanged = false;
    }
    if (!port_->IsOpen()) {
        followPort();
        return;
    }
    followSettingsInRecorder();
    emit transferStarting();
    TransferInput in = snapshot(sendAll);
    std::string error;
    std::optional<TransferPlan> plan = planTransfer(in, error);
    if (!plan) {
        // Refused before anything was sent: the link stays as it was.
        EnableControls(before);
        ShowMessage(error, kErrorCaption, MessageIcon::Error);
        return;
    }
    if (b_.progress) {
        b_.progress->setValue(b_.progress->minimum());
    }
    transferRunning_ = true;
    EnableControls(transferRunningControls());
    transfer_.start(commands_, *this, std::move(in), std::move(*plan), [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                transfer_.join();
                transferRunning_ = false;
                // The sweep may have been switched while the samples went out.
                if (b_.forms)
                    followSweep(b_.forms().General.SwapEnabled);
                applyControls();
                emit transferFinished();
            },
            Qt::QueuedConnection);
    });
}

void DeviceController::shutdown() {
    transfer_.stopAndJoin();
    transferRunning_ = false;
    commands_.FormDestroy();
    port_->ClosePort();
}

double DeviceController::quartzMHz() const {
    return static_cast<double>(wholeNumber(settings().Quartz).value_or(0));
}

double DeviceController::instructions() const {
    return static_cast<double>(wholeNumber(settings().Instructions).value_or(0));
}

bool DeviceController::readsBack() const {
    return commands_.IsConnected() && port_->PortName() == kSimulatorPortName;
}

SimState DeviceController::deviceState() {
    if (port_->PortName() == kSimulatorPortName) {
        if (auto* selecting = dynamic_cast<SelectingPort*>(port_.get()))
            return selecting->simulator().withGenerator([](SimGenerator& g) { return g.state(); });
        if (auto* sim = dynamic_cast<SimPort*>(port_.get()))
            return sim->withGenerator([](SimGenerator& g) { return g.state(); });
    }
    return recorder_->sentImage();
}

void DeviceController::followSettingsInRecorder() {
    // The frequency frames are worked out with the forms' number of samples.
    const auto samples = b_.forms ? wholeNumber(b_.forms().General.NumOfSam) : std::nullopt;
    recorder_->setContext(quartzMHz(), instructions(), static_cast<double>(samples.value_or(0)));
    const std::string& name = settings().PortName;
    recorder_->setImaging(name != kSimulatorPortName);
    if (name != imagedPort_) {
        recorder_->resetImage();
        imagedPort_ = name;
    }
}

} // namespace ombrix
