#include "sendjob.h"
#include "ombrixversion.h"

#include "core/compute/calcexpress.h"
#include "core/compute/calculationrun.h"
#include "core/compute/spectrum.h"
#include "core/device/devicecommands.h"
#include "core/device/frame.h"
#include "core/device/portopen.h"
#include "core/device/reply.h"
#include "core/device/runmask.h"
#include "core/device/termiosport.h"
#include "core/model/filestore.h"
#include "core/model/numbertext.h"
#include "core/model/settingsfile.h"

#include <algorithm>
#include <memory>
#include <ostream>

namespace ombrix::send {

namespace {

constexpr char kSep = '.'; // the codec converts either separator of a file to this one

// Keeps the sample values a calculation run publishes.
class CollectingSink final : public CalcSink {
  public:
    void status(const std::string&) override {}
    void clearSeries(int) override {}
    void appendPoints(int, std::vector<double>, std::vector<double>) override {}
    void samples(int output, std::vector<double> values) override {
        values_[static_cast<std::size_t>(output)] = std::move(values);
    }
    void failure(const std::string& text, const std::string&) override { failure_ = text; }
    void completed(const std::array<bool, kOutputCount>&) override {}

    std::optional<std::vector<double>>& values(int output) {
        return values_[static_cast<std::size_t>(output)];
    }
    const std::string& failureText() const { return failure_; }

  private:
    std::array<std::optional<std::vector<double>>, kOutputCount> values_;
    std::string failure_;
};

// The device link's messages and status texts on standard error.
class ConsoleUi final : public UserInterface {
  public:
    explicit ConsoleUi(std::ostream& err) : err_(err) {}

    void ShowMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override {
        endProgressLine();
        err_ << "ombrix-send: " << text << '\n';
        if (text == kOpenFailedText)
            err_ << "ombrix-send: (no such port, or the port is in use)\n";
        if (icon == MessageIcon::Error || caption == kErrorCaption)
            ++errors_;
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    void SetStatusText(int panel, const std::string& text) override {
        if (panel == 0)
            connection_ = text;
    }

    int errors() const { return errors_; }
    const std::string& connectionText() const { return connection_; }
    // A message must not be written behind a half-drawn progress bar.
    std::function<void()> endProgressLine = [] {};

  private:
    std::ostream& err_;
    int errors_ = 0;
    std::string connection_ = kDisconnectedText;
};

class NoButtons final : public DeviceButtons {
  public:
    void EnableControls(const LinkControls&) override {}
};

// The transfer's progress on standard error: a bar redrawn in place on a terminal, a line per
// ten percent otherwise.
class ConsoleProgress final : public TransferProgress {
  public:
    ConsoleProgress(std::ostream& err, bool terminal) : err_(err), terminal_(terminal) {}

    void SetProgressMax(int maximum) override {
        max_ = std::max(maximum, 1);
        pos_ = 0;
        shown_ = -1;
        show(0);
    }
    void StepProgress() override {
        ++pos_;
        show(static_cast<int>(std::min<long long>(100, pos_ * 100LL / max_)));
    }
    // The end of the transfer: a finished one shows 100 % (its maximum counts one step more
    // than a transfer without sweep makes).
    void finish(bool completed) {
        if (completed)
            show(100);
        endLine();
    }
    void endLine() {
        if (terminal_ && open_)
            err_ << '\n' << std::flush;
        open_ = false;
    }

  private:
    void show(int percent) {
        if (percent == shown_)
            return;
        if (terminal_) {
            constexpr int width = 40;
            const int filled = percent * width / 100;
            err_ << "\rSending [" << std::string(static_cast<std::size_t>(filled), '#')
                 << std::string(static_cast<std::size_t>(width - filled), '.') << "] " << percent
                 << " %" << std::flush;
            open_ = true;
        } else if (percent / 10 != shown_ / 10 || shown_ < 0) {
            err_ << "Sending: " << percent / 10 * 10 << " %\n" << std::flush;
        }
        shown_ = percent;
    }

    std::ostream& err_;
    bool terminal_;
    int max_ = 1;
    long long pos_ = 0;
    int shown_ = -1;
    bool open_ = false;
};

// The stop flag of the transfer in progress, for interruptTransfer().
std::atomic<std::atomic<bool>*> runningStop{nullptr};
std::atomic<bool> interrupted{false};

std::string outputList(std::uint8_t mask) {
    std::string list;
    for (int k = 0; k < kOutputCount; ++k)
        if (mask & (1u << k))
            list += (list.empty() ? "" : ", ") + std::to_string(k + 1);
    return list;
}

} // namespace

bool interruptTransfer() {
    std::atomic<bool>* stop = runningStop.load();
    if (!stop)
        return false;
    interrupted = true;
    stop->store(true);
    return true;
}

std::optional<FormsConfig> loadForms(const std::string& path, std::string& error) {
    // One byte more than an image holds is enough to tell a longer file. Only a regular file
    // is read: a FIFO would block the sender for good.
    std::vector<unsigned char> bytes;
    if (const std::optional<std::string> fault = readRegularFile(path, kFormsFileSize + 1, bytes)) {
        error = "cannot read \"" + path + "\": " + *fault;
        return std::nullopt;
    }
    FormsConfig forms = startupForms();
    if (const auto fault = decodeForms(bytes, kSep, forms)) {
        error = "\"" + path + "\" is not a forms settings file: " + *fault;
        return std::nullopt;
    }
    forms.General.Active[0] = true;
    return forms;
}

std::optional<std::array<std::vector<double>, kOutputCount>>
computeSamples(const FormsConfig& forms, std::string& error) {
    CalcSnapshot snap;
    snap.forms = forms;
    snap.sep = kSep;
    snap.view = ViewKind::Form;
    TCalcExpress calc(kSep);
    TSpectrum engine;
    CollectingSink sink;
    std::array<std::vector<double>, kOutputCount> samples;
    // Each output alone, so that a failing equation is named; an output's period depends on
    // nothing but its own form and phase shift, so the values are those of a run over all six.
    for (int k = 0; k < kOutputCount; ++k) {
        if (k > 0 && !forms.General.Active[static_cast<std::size_t>(k)])
            continue;
        std::atomic<bool> stop{false};
        runCalculation(k, k, snap, calc, engine, sink, stop);
        auto& values = sink.values(k);
        if (!values) {
            error = "Output " + std::to_string(k + 1) + " cannot be calculated";
            if (forms.Outputs[static_cast<std::size_t>(k)].Form == FormKind::Equation)
                error += sink.failureText().empty() ? ": the equation is not valid"
                                                    : ": " + sink.failureText();
            return std::nullopt;
        }
        samples[static_cast<std::size_t>(k)] = std::move(*values);
    }
    return samples;
}

std::optional<PreparedSend> prepareSend(const FormsConfig& forms, const DeviceSettings& settings,
                                        std::string& error) {
    const GeneralSettings& g = forms.General;
    // The device memory is shared by the active outputs; the main window never lets more
    // samples through, so a file asking for more is refused rather than cut.
    const int count = activeCount(g);
    const int most = maxSamples(count);
    const std::optional<int> n = parseInteger(g.NumOfSam);
    if (!n || *n < 1 || *n > most) {
        error = "the number of samples \"" + g.NumOfSam + "\" is not a whole number from 1 to " +
                std::to_string(most) + " (" + std::to_string(count) + " active outputs)";
        return std::nullopt;
    }
    auto samples = computeSamples(forms, error);
    if (!samples)
        return std::nullopt;

    PreparedSend prepared;
    TransferInput& in = prepared.input;
    in.sendAll = true;
    in.settings = settings;
    in.sep = kSep;
    in.samples = std::move(*samples);
    in.general = g;
    auto plan = planTransfer(in, error);
    if (!plan)
        return std::nullopt;
    prepared.plan = std::move(*plan);
    return prepared;
}

void FrameSplitter::feed(std::span<const std::uint8_t> bytes) {
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    while (buffer_.size() >= kFrameSize) {
        const CommandFrame header =
            frameFromBytes(std::span<const std::uint8_t, kFrameSize>(buffer_.data(), kFrameSize));
        const std::size_t data = header.isBlockHeader() ? 2u * header.blockWordCount() : 0u;
        const std::size_t whole = kFrameSize + data + kTrailerSize;
        if (buffer_.size() < whole)
            return;
        onFrame_(std::vector<std::uint8_t>(buffer_.begin(),
                                           buffer_.begin() + static_cast<std::ptrdiff_t>(whole)));
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(whole));
    }
}

std::string frameLine(const std::vector<std::uint8_t>& frame) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string line = frame.size() > 2 ? commandName(frame[2]) : "Cmd?";
    line.reserve(line.size() + 3 * frame.size());
    for (std::uint8_t b : frame) {
        line += ' ';
        line += kHex[b >> 4];
        line += kHex[b & 0x0F];
    }
    return line;
}

DryRunPort::DryRunPort(Clock& clock, std::function<void(const std::vector<std::uint8_t>&)> onFrame)
    : sim_(clock), splitter_(std::move(onFrame)) {
    setTarget(&sim_);
}

bool DryRunPort::OpenPort(const std::string& name, int baudIndex) {
    rememberName(name);
    return sim_.OpenPort(kSimulatorPortName, baudIndex);
}

bool DryRunPort::WritePort(std::span<const std::uint8_t> bytes) {
    if (!sim_.IsOpen())
        return false;
    splitter_.feed(bytes);
    return ForwardingPort::WritePort(bytes);
}

int run(const Options& o, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    if (o.help) {
        out << usageText();
        return ExitOk;
    }
    if (o.version) {
        out << "ombrix-send " << kVersion << '\n';
        return ExitOk;
    }
    std::string error;
    std::optional<FormsConfig> forms = loadForms(o.file, error);
    if (!forms) {
        err << "ombrix-send: " << error << '\n';
        return ExitFile;
    }
    if (o.step)
        forms->General.Step = *o.step;
    std::optional<PreparedSend> prepared = prepareSend(*forms, o.settings, error);
    if (!prepared) {
        err << "ombrix-send: \"" << o.file << "\" cannot be sent: " << error << '\n';
        return ExitFile;
    }
    const TransferInput& input = prepared->input;
    const TransferPlan& plan = prepared->plan;

    InstantClock instant;
    long frames = 0;
    std::unique_ptr<SerialPort> port;
    TermiosPort* terminal = nullptr;
    if (o.dryRun) {
        port = std::make_unique<DryRunPort>(instant, [&](const std::vector<std::uint8_t>& f) {
            out << frameLine(f) << '\n';
            ++frames;
        });
    } else {
        auto t = std::make_unique<TermiosPort>();
        terminal = t.get();
        port = std::move(t);
    }
    Clock& clock = o.dryRun ? static_cast<Clock&>(instant) : systemClock();
    ConsoleUi ui(err);
    NoButtons buttons;
    DeviceCommands commands(*port, clock, ui, buttons);
    const std::string where =
        o.dryRun ? std::string("the simulated generator") : o.settings.PortName;

    commands.Connect(o.settings);
    if (!port->IsOpen() || ui.connectionText() != kConnectedText) {
        port->ClosePort();
        err << "ombrix-send: no connection to the generator on " << where;
        if (terminal && !terminal->lastError().empty())
            err << " (" << terminal->lastError() << ")";
        err << '\n';
        return ExitConnection;
    }
    err << "Connected to " << where << " at " << baudForIndex(o.settings.BaudIndex) << " baud.\n";

    ConsoleProgress progress(err, errIsTerminal);
    ui.endProgressLine = [&progress] { progress.endLine(); };
    const int errorsBefore = ui.errors();
    interrupted = false;
    runningStop = &commands.StopRequested;
    SendThread(commands, progress, input, plan);
    runningStop = nullptr;
    const bool sent = ui.errors() == errorsBefore;
    progress.finish(sent && !interrupted);
    ui.endProgressLine = [] {};

    int code = ExitOk;
    if (interrupted) {
        err << "ombrix-send: interrupted; the transfer was stopped\n";
        code = ExitInterrupted;
    } else if (!sent) {
        err << "ombrix-send: the generator did not accept the transfer\n";
        code = ExitTransfer;
    } else {
        std::string summary = "Sent " + std::to_string(plan.samples) + " samples of output" +
                              (std::popcount(plan.activeMask) > 1 ? "s " : " ") +
                              outputList(plan.activeMask);
        if (plan.frequency)
            summary += ", frequency " + input.general.Freq + " Hz";
        summary += ", reference " + input.settings.VRef1 + "/" + input.settings.VRef2 + " mV";
        if (plan.sweep)
            summary += ", sweep of " + std::to_string(plan.sweepWords.size() / 3) + " steps";
        (o.dryRun ? err : out) << summary << ".\n";
    }

    if (code == ExitOk && o.start) {
        const std::uint8_t mask = startAll(input.general.Active);
        if (commands.SendPanelRunMask(mask) == ReplyOk) {
            commands.RunMask = mask;
            (o.dryRun ? err : out) << "Started output" << (std::popcount(mask) > 1 ? "s " : " ")
                                   << outputList(mask) << ".\n";
        } else {
            err << "ombrix-send: the generator did not accept the start\n";
            code = ExitTransfer;
        }
    }

    if (o.disconnect) {
        const int before = ui.errors();
        commands.Disconnect();
        if (ui.errors() != before) {
            err << "ombrix-send: the generator did not accept the disconnect\n";
            if (code == ExitOk)
                code = ExitTransfer;
        } else {
            (o.dryRun ? err : out) << "Disconnected.\n";
        }
    } else {
        port->ClosePort();
    }
    if (o.dryRun)
        err << frames << " frames.\n";
    return code;
}

} // namespace ombrix::send
