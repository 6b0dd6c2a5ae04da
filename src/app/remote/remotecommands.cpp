#include "app/remote/remotecommands.h"

#include "app/calculation.h"
#include "app/fieldbinding.h"
#include "app/formsdocument.h"
#include "app/ombrix.h"
#include "app/remote/remotedevice.h"
#include "app/userprompts.h"
#include "core/compute/calcexpress.h"
#include "core/model/keyfilters.h"
#include "core/model/sampleexport.h"
#include "gui/common/fieldevents.h"
#include "gui/dialogs/settingsform.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <exception>

namespace ombrix {

using scpi::CommandId;
using scpi::Error;
using scpi::ErrorCode;

struct RemoteCommands::Field {
    QLineEdit* edit = nullptr;
    FieldFamily family = FieldFamily::Frequency;
    const char* name = "";
};

namespace {

// Remote numbers use '.' whatever the locale; the fields use the locale's separator.
std::string toField(std::string text, char sep) {
    if (sep != '.')
        for (char& c : text)
            if (c == '.')
                c = sep;
    return text;
}

std::string fromField(const QString& text, char sep) {
    std::string out = text.toStdString();
    if (sep != '.')
        for (char& c : out)
            if (c == sep)
                c = '.';
    return out;
}

// A string answer: in double quotes, a quote inside doubled, line breaks left out (the
// evaluator joins an equation's lines the same way).
std::string quoted(const std::string& text) {
    std::string out(1, '"');
    for (char ch : text) {
        if (ch == '\n' || ch == '\r')
            continue;
        out.push_back(ch);
        if (ch == '"')
            out.push_back('"');
    }
    out.push_back('"');
    return out;
}

const char* onOff(bool on) {
    return on ? "1" : "0";
}

bool isUsable(const QWidget* w) {
    return w->isEnabled();
}

// The pulse text behind each pulse command.
int pulseIndex(CommandId id) {
    switch (id) {
    case CommandId::PulseA1:
        return A1;
    case CommandId::PulseA2:
        return A2;
    case CommandId::PulseTD1:
        return tD1;
    case CommandId::PulseTR:
        return tR;
    case CommandId::PulseTD2:
        return tD2;
    default:
        return tF;
    }
}

// The number part of "Device plays 999.8 Hz (-200 ppm)".
std::optional<std::string> playedHertz(const QString& label, char sep) {
    const QString prefix = QStringLiteral("Device plays ");
    const qsizetype end = label.indexOf(QStringLiteral(" Hz"));
    if (!label.startsWith(prefix) || end < 0)
        return std::nullopt;
    return fromField(label.mid(prefix.size(), end - prefix.size()), sep);
}

} // namespace

RemoteCommands::RemoteCommands(TOmbrix& window, RemoteDevice& device, std::string version,
                               std::function<void(const std::string&)> reportError)
    : window_(window), device_(device), version_(std::move(version)),
      reportError_(std::move(reportError)),
      calc_(std::make_unique<TCalcExpress>(window.decimalSeparator())) {}

RemoteCommands::~RemoteCommands() = default;

void RemoteCommands::fail(RemoteSession& session, Error error) {
    if (reportError_)
        reportError_(scpi::formatError(error));
    session.errors.push(std::move(error));
}

std::optional<RemoteCommands::Field> RemoteCommands::textField(const scpi::Command& c) {
    GeneralPage& g = window_.general();
    const int n = c.suffix[0] - 1;
    const int k = c.suffix[1] - 1;
    switch (c.id) {
    case CommandId::Frequency:
        return Field{g.Freq, FieldFamily::Frequency, "Frequency"};
    case CommandId::Samples:
        return Field{g.NumOfSam, FieldFamily::SampleCount, "Number of samples"};
    case CommandId::SweepStart:
        return Field{g.StartFreq, FieldFamily::SweepValue, "Start frequency"};
    case CommandId::SweepStop:
        return Field{g.StopFreq, FieldFamily::SweepValue, "Stop frequency"};
    case CommandId::SweepStep:
        return Field{g.StepComboBox->lineEdit(), FieldFamily::SweepValue, "Step"};
    case CommandId::SweepTime:
        return Field{g.Time, FieldFamily::StepTime, "Time"};
    case CommandId::HarmonicAmplitude:
        return Field{window_.output(n).amplitude.at(k), FieldFamily::HarmonicAmplitude,
                     "Amplitude"};
    case CommandId::HarmonicPhase:
        return Field{window_.output(n).phase.at(k), FieldFamily::HarmonicPhase, "Phase"};
    case CommandId::PulseA1:
    case CommandId::PulseA2:
    case CommandId::PulseTD1:
    case CommandId::PulseTR:
    case CommandId::PulseTD2:
    case CommandId::PulseTF: {
        const int p = pulseIndex(c.id);
        return Field{window_.output(n).pulse.at(p),
                     p <= A1 ? FieldFamily::PulseLevel : FieldFamily::PulseTime, "Pulse"};
    }
    case CommandId::Offset:
        return Field{window_.output(n).offset, FieldFamily::Offset, "Offset"};
    case CommandId::Phase:
        if (n == 0)
            return std::nullopt; // output 1 has no phase shift
        return Field{g.Ph_Disp.at(n), FieldFamily::PhaseShift, "Phase shift"};
    default:
        return std::nullopt;
    }
}

bool RemoteCommands::typeInto(const Field& field, const std::string& text, RemoteSession& session) {
    QLineEdit* edit = field.edit;
    if (!isUsable(edit) || edit->isReadOnly()) {
        fail(session,
             {ErrorCode::ExecutionError, std::string(field.name) + " cannot be changed now"});
        return false;
    }
    const char sep = window_.decimalSeparator();
    const std::string current = edit->text().toStdString();
    std::u32string typed;
    for (unsigned char ch : toField(text, sep))
        typed.push_back(ch); // bytes above 0x7E are no key of any field: they are dropped
    // The user selects the field's text and types over it.
    const int size = static_cast<int>(current.size());
    const TypedText r =
        typeText(field.family, current, 0, size, size, typed, sep, typingLimit(edit));
    if (r.anyDropped) {
        fail(session, {ErrorCode::IllegalParameterValue,
                       std::string(field.name) + " does not take \"" + text + "\""});
        return false;
    }
    return asUser(session, [&] {
        window_.binding().typeInto(edit, QString::fromStdString(r.text));
        if (r.markModified)
            window_.document().setModified(true);
        leaveField(edit); // the exit rule, as when the user leaves the field
    });
}

bool RemoteCommands::asUser(RemoteSession& session, const std::function<void()>& change,
                            const QString& fileName) {
    QString message;
    {
        const UserPrompts::Redirect redirect(
            window_.prompts(),
            [&message](const QString& m, const QString&) {
                if (message.isEmpty())
                    message = m;
            },
            fileName);
        change();
        // The calculation the change started reports its failures here too, not in a box
        // once the command has returned.
        window_.calculation().finishCalculation();
    }
    window_.document().formsCommitted();
    if (message.isEmpty())
        return true;
    fail(session, {ErrorCode::ExecutionError, message.toStdString()});
    return false;
}

std::optional<std::string> RemoteCommands::runField(const scpi::Command& c,
                                                    RemoteSession& session) {
    const std::optional<Field> field = textField(c);
    if (!field) {
        fail(session, {ErrorCode::DataOutOfRange, "output 1 has no phase shift"});
        return std::nullopt;
    }
    if (c.query)
        return fromField(field->edit->text(), window_.decimalSeparator());
    typeInto(*field, c.text, session);
    return std::nullopt;
}

std::optional<std::string> RemoteCommands::runBox(const scpi::Command& c, RemoteSession& session) {
    GeneralPage& g = window_.general();
    const int n = c.suffix[0] - 1;
    QAbstractButton* box = nullptr;
    switch (c.id) {
    case CommandId::SweepState:
        box = g.SwapEnabled;
        break;
    case CommandId::SweepCyclic:
        box = g.SwapCyclic;
        break;
    case CommandId::Active:
        if (n == 0) { // output 1 is always active
            if (c.query)
                return "1";
            if (!c.flag)
                fail(session, {ErrorCode::DataOutOfRange, "output 1 is always active"});
            return std::nullopt;
        }
        box = g.activeBox.at(n);
        break;
    case CommandId::HarmonicState:
        box = window_.output(n).en.at(c.suffix[1] - 1);
        break;
    case CommandId::Function: {
        const OutputPage& o = window_.output(n);
        if (c.query) {
            static const char* const kNames[] = {"SIN", "PULS", "EQU"};
            const int id = o.formButtons->checkedId();
            return kNames[id < 0 || id > 2 ? 0 : id];
        }
        box = o.formItems.at(c.choice);
        break;
    }
    default:
        return std::nullopt;
    }
    if (c.query)
        return onOff(box->isChecked());
    const bool want = c.id == CommandId::Function ? true : c.flag;
    if (box->isChecked() == want)
        return std::nullopt;
    if (!isUsable(box)) {
        fail(session, {ErrorCode::ExecutionError, "the control cannot be changed now"});
        return std::nullopt;
    }
    asUser(session, [box] { box->click(); });
    return std::nullopt;
}

void RemoteCommands::setEquation(int output, const std::string& text, RemoteSession& session) {
    OutputPage& o = window_.output(output);
    if (!isUsable(o.equationButton)) {
        fail(session, {ErrorCode::ExecutionError, "the equation cannot be changed now"});
        return;
    }
    // The editor's check: the lines joined, parsed and evaluated once at X = 1.
    std::string joined;
    for (char ch : text)
        if (ch != '\n' && ch != '\r')
            joined.push_back(ch);
    try {
        calc_->Variables() = {"X"};
        calc_->init(joined);
        const long double x = 1.0L;
        calc_->calc(&x, 0);
    } catch (const std::exception& e) {
        const std::string why = e.what();
        fail(session, {ErrorCode::ExecutionError, why.empty() ? "Syntax error" : why});
        return;
    }
    const QString lines = QString::fromStdString(text);
    if (o.equation->toPlainText() == lines)
        return;
    asUser(session, [&] {
        o.equation->setPlainText(lines);
        window_.document().setModified(true);
        window_.calculation().CalculateForms(output, output);
    });
}

void RemoteCommands::fileCommand(bool load, const std::string& name, RemoteSession& session) {
    const QString file = QString::fromStdString(name);
    if (!file.endsWith(QStringLiteral(".set"), Qt::CaseInsensitive) || file.size() <= 4) {
        fail(session, {ErrorCode::IllegalParameterValue, "a forms file name ends in .set"});
        return;
    }
    asUser(
        session,
        [&] {
            if (load)
                window_.document().openFile(file);
            else
                window_.document().SaveAs();
        },
        file);
}

std::optional<std::string> RemoteCommands::traceData(int output, RemoteSession& session) {
    Calculation& calculation = window_.calculation();
    calculation.finishCalculation(); // the period of the forms as they stand
    const std::vector<double>& samples = calculation.samples(output);
    if (samples.empty()) {
        fail(session, {ErrorCode::ExecutionError,
                       "Output " + std::to_string(output + 1) + " has no calculated samples"});
        return std::nullopt;
    }
    std::string out;
    out.reserve(samples.size() * 12);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (i > 0)
            out.push_back(',');
        appendSampleText(out, samples[i]); // as Export writes them
    }
    return out;
}

std::optional<std::string>
RemoteCommands::runDevice(const scpi::Command& c, const std::shared_ptr<RemoteSession>& session) {
    if (c.id == CommandId::DeviceState) {
        switch (device_.state()) {
        case RemoteDevice::State::Connected:
            return "CONN";
        case RemoteDevice::State::Busy:
            return "BUSY";
        case RemoteDevice::State::Disconnected:
            return "DISC";
        }
    }
    // The device commands read the Settings dialog's fields as they stand; while the user is
    // typing in them (the dialog is open and holds the window) they are refused, as the
    // window's own device commands are out of reach then.
    const auto settingsOpen = [&] {
        if (!window_.settingsForm().isVisible())
            return false;
        fail(*session, {ErrorCode::ExecutionError, "the Settings dialog is open"});
        return true;
    };
    if (c.id == CommandId::DevicePort) {
        if (c.query)
            return quoted(device_.port());
        if (settingsOpen())
            return std::nullopt;
        if (const auto error = device_.setPort(c.text))
            fail(*session, {ErrorCode::ExecutionError, *error});
        return std::nullopt;
    }
    if (c.id == CommandId::OutputState && c.query)
        return onOff(device_.outputPlaying(c.suffix[0] - 1));
    if (settingsOpen())
        return std::nullopt;

    // A device command ends later: the session waits for it on *OPC? and *WAI.
    ++session->pendingOperations;
    RemoteDevice::Done done =
        [this, weak = std::weak_ptr<RemoteSession>(session)](std::optional<std::string> error) {
            const std::shared_ptr<RemoteSession> s = weak.lock();
            if (!s)
                return; // the client has gone
            if (error)
                fail(*s, {ErrorCode::ExecutionError, *error});
            if (--s->pendingOperations == 0 && s->operationsEnded)
                s->operationsEnded();
        };
    switch (c.id) {
    case CommandId::DeviceConnect:
        device_.connectDevice(std::move(done));
        break;
    case CommandId::DeviceDisconnect:
        device_.disconnectDevice(std::move(done));
        break;
    case CommandId::DeviceSend:
        device_.sendAll(std::move(done));
        break;
    default: // OutputState
        device_.setOutput(c.suffix[0] - 1, c.flag, std::move(done));
        break;
    }
    return std::nullopt;
}

std::optional<std::string> RemoteCommands::run(const scpi::Command& c,
                                               const std::shared_ptr<RemoteSession>& session) {
    RemoteSession& s = *session;
    // What leaves the window (file, device, trace, played frequency) is what its fields show:
    // a field the user has typed into and not yet left is committed first, as before one of
    // the window's own actions, also while the user is in another program's window.
    if (c.id == CommandId::Store || c.id == CommandId::TraceData ||
        c.id == CommandId::FrequencyReal || c.id == CommandId::DeviceSend)
        commitWindowsField(window_);
    switch (c.id) {
    case CommandId::Identify:
        return "Ombrix,Ombrix,0," + version_;
    case CommandId::Reset: {
        // New forms without the save question: one undo step.
        asUser(s, [this] {
            window_.document().setModified(false);
            window_.document().NewSample();
        });
        return std::nullopt;
    }
    case CommandId::ClearStatus:
        s.errors.clear();
        return std::nullopt;
    case CommandId::OperationDone:
        // The session runs *OPC? only once its pending operations have ended.
        return c.query ? std::optional<std::string>("1") : std::nullopt;
    case CommandId::Wait:
        return std::nullopt;
    case CommandId::SystemError:
        return scpi::formatError(s.errors.pop());
    case CommandId::SystemVersion:
        return "1999.0";
    case CommandId::FrequencyReal: {
        const auto hz = playedHertz(window_.general().realFreq->text(), window_.decimalSeparator());
        if (!hz)
            fail(s, {ErrorCode::ExecutionError, "the frequency cannot be played"});
        return hz;
    }
    case CommandId::SweepState:
    case CommandId::SweepCyclic:
    case CommandId::Active:
    case CommandId::HarmonicState:
    case CommandId::Function:
        return runBox(c, s);
    case CommandId::Equation:
        if (c.query)
            return quoted(window_.output(c.suffix[0] - 1).equation->toPlainText().toStdString());
        setEquation(c.suffix[0] - 1, c.text, s);
        return std::nullopt;
    case CommandId::Load:
    case CommandId::Store:
        fileCommand(c.id == CommandId::Load, c.text, s);
        return std::nullopt;
    case CommandId::TraceData:
        return traceData(c.suffix[0] - 1, s);
    case CommandId::DevicePort:
    case CommandId::DeviceConnect:
    case CommandId::DeviceDisconnect:
    case CommandId::DeviceState:
    case CommandId::DeviceSend:
    case CommandId::OutputState:
        return runDevice(c, session);
    default:
        return runField(c, s);
    }
}

} // namespace ombrix
