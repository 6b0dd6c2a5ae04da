#include "gui/device/devicecontroller.h"

#include "core/device/frame.h"
#include "core/device/selectingport.h"
#include "core/device/simport.h"
#include "core/model/numbertext.h"
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
    link_.dropWaiting();
    commands_.StopRequested = true; // a running transfer stops between words
    commands_.ClosingDown = true;
    link_.waitIdle();
    commands_.StopRequested = false;
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
    // On the link thread the message also goes to the job's outcome; a job asked without
    // boxes (a remote client's) stops there.
    if (!onGuiThread() && current_) {
        (icon == MessageIcon::Information ? current_->notes : current_->errors).push_back(text);
        if (!currentShows_)
            return;
    }
    // From the link thread the box is queued: the link goes on, the user reads it on the
    // GUI thread.
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
    // One step a data word: the steps made while the window has not caught up go out in one
    // call, so that a fast line never floods the GUI thread.
    if (stepsWaiting_.fetch_add(1) > 0)
        return;
    onGui([this] {
        const int steps = stepsWaiting_.exchange(0);
        if (b_.progress)
            b_.progress->setValue(std::min(b_.progress->value() + steps, b_.progress->maximum()));
    });
}

void DeviceController::applyControls() {
    const bool formView = !b_.formViewSelected || b_.formViewSelected();
    auto set = [](QWidget* w, const std::optional<bool>& on) {
        if (w && on)
            w->setEnabled(*on);
    };
    set(b_.stop, state_.stop);
    // While a job that holds the link waits or runs, nothing starts another: Connect,
    // Disconnect, Send all and the Setup menu's test, version and reset (which share the port
    // with a transfer) wait for its end. Stop stays as the table has it.
    const bool linkHeld = pendingLinkJobs_ > 0;
    auto setFree = [linkHeld](QWidget* w, const std::optional<bool>& on) {
        if (w && on)
            w->setEnabled(*on && !linkHeld);
    };
    if (b_.sendAll && state_.sendAll)
        b_.sendAll->setEnabled(*state_.sendAll && formView && !linkHeld);
    setFree(b_.connect, state_.connect);
    setFree(b_.disconnect, state_.disconnect);
    for (QAction* a : {b_.checkConnection, b_.dspVersion, b_.resetDsp})
        if (a)
            a->setEnabled(!linkHeld && !transferRunning_);
    emit linkStateChanged();
}

void DeviceController::followPort() {
    const bool linkShown = state_.connect == false || state_.disconnect == true ||
                           state_.sendAll == true || state_.panelButtons == true;
    if (!connected_ && !transferRunning_ && linkShown) {
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

// ---- the job queue ----

void DeviceController::request(const LinkRequest& r, OutcomeHandler done) {
    if (r.kind == LinkJobKind::SendAll || r.kind == LinkJobKind::SendSamples) {
        startTransfer(r, std::move(done));
        return;
    }
    std::function<void()> work = commandWork(r);
    if (!work) {
        refuse(done);
        return;
    }
    if (r.kind == LinkJobKind::RunMask) {
        // The new mask stands for the next rule at once, even before it is on the line.
        askedMask_ = r.runMask & kOutputMaskBits;
        ++pendingMasks_;
    }
    enqueue(r.kind, r.showMessages, std::move(work), std::move(done));
}

std::function<void()> DeviceController::commandWork(const LinkRequest& r) {
    // What the job sends is read now, on the GUI thread: the link thread never reads a widget.
    const DeviceSettings s = settings();
    switch (r.kind) {
    case LinkJobKind::Connect:
        followSettingsInRecorder();
        return [this, s] { commands_.Connect(s); };
    case LinkJobKind::Disconnect:
        return [this] { commands_.Disconnect(); };
    case LinkJobKind::CheckConnection:
        return [this, s] { commands_.TestConnection(s); };
    case LinkJobKind::ShowVersion:
        return [this, s] { commands_.ShowDSPVersion(s); };
    case LinkJobKind::ResetDsp:
        return [this, s] { commands_.ResetDSP(s); };
    case LinkJobKind::ChangeFrequency: {
        if (!b_.forms)
            return {};
        const GeneralSettings g = b_.forms().General;
        const char sep = b_.decimalSeparator;
        return [this, s, g, sep] { commands_.ChangeFrequency(g.Freq, g.NumOfSam, s, sep); };
    }
    case LinkJobKind::ChangeReference:
        return [this, s] { commands_.ChangeReference(s); };
    case LinkJobKind::RunMask: {
        const std::uint8_t mask = r.runMask & kOutputMaskBits;
        return [this, mask] {
            // The new mask stands even when the reply fails; the failure is only reported.
            commands_.RunMask = mask;
            commands_.SendPanelRunMask(mask);
        };
    }
    case LinkJobKind::PanelFrequency: {
        const long samples = b_.forms ? parseInteger(b_.forms().General.NumOfSam).value_or(0) : 0;
        const double hz = r.frequencyHz;
        return [this, s, hz, samples] { commands_.SendPanelFrequency(hz, samples, s); };
    }
    case LinkJobKind::SendAll:
    case LinkJobKind::SendSamples:
        break;
    }
    return {};
}

void DeviceController::enqueue(LinkJobKind kind, bool showMessages, std::function<void()> work,
                               OutcomeHandler done) {
    ++pendingJobs_;
    if (holdsTheLink(kind))
        ++pendingLinkJobs_;
    applyControls();
    // Written by the link thread while the job runs, read on the GUI thread after the
    // hand-over that follows it.
    struct Record {
        LinkOutcome outcome;
        std::string portName;
    };
    auto record = std::make_shared<Record>();
    QueuedJob job;
    job.kind = kind;
    job.run = [this, kind, showMessages, record, done, work = std::move(work)] {
        current_ = &record->outcome;
        currentShows_ = showMessages;
        work();
        current_ = nullptr;
        record->outcome.connected = port_->IsOpen();
        record->outcome.runMask = static_cast<std::uint8_t>(commands_.RunMask.load());
        record->portName = port_->PortName();
        // After every report of the job, so the window has them all when it learns the end.
        handOver_.post([this, kind, record, done] {
            finishJob(kind, record->outcome, record->portName, done);
        });
    };
    job.dropped = [this, kind, record, done](LinkOutcome::Status status) {
        record->outcome.status = status;
        handOver_.post([this, kind, record, done] {
            record->outcome.connected = connected_;
            record->outcome.runMask = static_cast<std::uint8_t>(commands_.RunMask.load());
            finishJob(kind, record->outcome, linkPort_, done);
        });
    };
    link_.post(std::move(job));
}

void DeviceController::finishJob(LinkJobKind kind, LinkOutcome outcome, const std::string& portName,
                                 const OutcomeHandler& done) {
    --pendingJobs_;
    if (holdsTheLink(kind))
        --pendingLinkJobs_;
    if (kind == LinkJobKind::RunMask)
        --pendingMasks_;
    if (outcome.status == LinkOutcome::Status::Done) {
        connected_ = outcome.connected;
        linkPort_ = portName;
    }
    if (holdsTheLink(kind) && kind != LinkJobKind::SendAll && kind != LinkJobKind::SendSamples)
        followPort();
    followRunMask();
    applyControls();
    if (done)
        done(outcome);
    if (pendingJobs_ == 0)
        emit linkIdle();
}

void DeviceController::refuse(const OutcomeHandler& done, std::string error) {
    if (!done)
        return;
    LinkOutcome outcome;
    outcome.status = LinkOutcome::Status::Refused;
    outcome.connected = connected_;
    outcome.runMask = static_cast<std::uint8_t>(commands_.RunMask.load());
    if (!error.empty())
        outcome.errors.push_back(std::move(error));
    done(outcome);
}

void DeviceController::followRunMask() {
    const auto mask = static_cast<std::uint8_t>(commands_.RunMask.load());
    if (mask == shownMask_)
        return;
    shownMask_ = mask;
    emit runMaskChanged(mask);
}

LinkState DeviceController::linkState() const {
    if (pendingJobs_ > 0)
        return LinkState::Busy;
    return connected_ ? LinkState::Connected : LinkState::Disconnected;
}

std::uint8_t DeviceController::runMask() const {
    return pendingMasks_ > 0 ? askedMask_ : static_cast<std::uint8_t>(commands_.RunMask.load());
}

// ---- commands ----

void DeviceController::ToolButton3Click() {
    request({LinkJobKind::Connect});
}

void DeviceController::ToolButton4Click() {
    request({LinkJobKind::Disconnect});
}

void DeviceController::Checkconnection1Click() {
    if (transferRunning_)
        return;
    request({LinkJobKind::CheckConnection});
}

void DeviceController::ShowDSPprogramversion1Click() {
    if (transferRunning_)
        return;
    request({LinkJobKind::ShowVersion});
}

void DeviceController::ResetDSP1Click() {
    if (transferRunning_)
        return;
    request({LinkJobKind::ResetDsp});
}

void DeviceController::Setfreq1Click() {
    if (transferRunning_)
        return;
    request({LinkJobKind::ChangeFrequency});
}

void DeviceController::Changereferencevoltage1Click() {
    if (transferRunning_)
        return;
    request({LinkJobKind::ChangeReference});
}

void DeviceController::ToolButton2Click() {
    if (transferRunning_)
        commands_.StopRequested = true;
    if (b_.progress)
        b_.progress->setValue(b_.progress->minimum());
}

void DeviceController::ToolButton1Click() {
    LinkRequest r{LinkJobKind::SendAll};
    r.recalculateFirst = true;
    request(r);
}

void DeviceController::Sendall1Click() {
    request({LinkJobKind::SendAll});
}

void DeviceController::Sendsamples1Click() {
    LinkRequest r{LinkJobKind::SendSamples};
    r.recalculateFirst = true;
    request(r);
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

void DeviceController::startTransfer(const LinkRequest& r, OutcomeHandler done) {
    if (transferRunning_) {
        refuse(done, "A transfer is already running.");
        return;
    }
    const bool sendAll = r.kind == LinkJobKind::SendAll;
    const LinkControls before = state_;
    EnableControls(transferStartControls());
    commands_.SendAllFlag = sendAll;
    if (r.recalculateFirst && commands_.SampleCountChanged && b_.recalculate) {
        b_.recalculate();
        commands_.SampleCountChanged = false;
    }
    // A connection asked before this transfer decides on the link thread.
    if (!connected_ && pendingLinkJobs_ == 0) {
        followPort();
        refuse(done, kNotConnectedText);
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
        if (r.showMessages)
            ShowMessage(error, kErrorCaption, MessageIcon::Error);
        refuse(done, error);
        return;
    }
    if (b_.progress) {
        b_.progress->setValue(b_.progress->minimum());
    }
    transferRunning_ = true;
    // A Stop pressed just as the last transfer ended must not stop this one.
    commands_.StopRequested = false;
    EnableControls(transferRunningControls());
    const bool freqEnabled = !in.general.SwapEnabled;
    auto work = [this, in = std::move(in), p = std::move(*plan), freqEnabled] {
        if (port_->IsOpen()) {
            SendThread(commands_, *this, in, p);
        } else {
            // The connection asked before it failed: nothing to send to.
            commands_.StopRequested = false;
            EnableControls(afterTransferControls(freqEnabled));
        }
    };
    enqueue(r.kind, r.showMessages, std::move(work), [this, done](const LinkOutcome& o) {
        transferRunning_ = false;
        // The sweep may have been switched while the samples went out.
        if (b_.forms)
            followSweep(b_.forms().General.SwapEnabled);
        followPort();
        applyControls();
        emit transferFinished();
        if (done)
            done(o);
    });
}

void DeviceController::shutdown() {
    link_.dropWaiting();
    // A transfer stops between words, any other command after the exchange under way.
    commands_.StopRequested = true;
    commands_.ClosingDown = true;
    link_.waitIdle();
    commands_.StopRequested = false;
    commands_.ClosingDown = false;
    link_.post({LinkJobKind::Disconnect,
                [this] {
                    commands_.FormDestroy();
                    port_->ClosePort();
                },
                {}});
    link_.waitIdle();
    connected_ = false;
    // The reports of the last jobs and of the shut-down frames, before the window goes.
    handOver_.drain();
}

double DeviceController::quartzMHz() const {
    return static_cast<double>(wholeNumber(settings().Quartz).value_or(0));
}

double DeviceController::instructions() const {
    return static_cast<double>(wholeNumber(settings().Instructions).value_or(0));
}

bool DeviceController::readsBack() const {
    return connected_ && linkPort_ == kSimulatorPortName;
}

SimState DeviceController::deviceState() {
    if (linkPort_ == kSimulatorPortName) {
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
