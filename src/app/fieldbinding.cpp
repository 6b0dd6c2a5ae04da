#include "app/fieldbinding.h"

#include "app/calculation.h"
#include "app/fieldrules.h"
#include "app/formsdocument.h"
#include "app/mainpages.h"
#include "app/userprompts.h"
#include "core/model/formsrules.h"
#include "core/model/numbertext.h"
#include "gui/charts/chartmenu.h"
#include "gui/common/fieldevents.h"
#include "gui/common/textintake.h"
#include "gui/common/updown.h"
#include "gui/device/controlpanel.h"
#include "gui/dialogs/equedit.h"
#include "gui/dialogs/settingsform.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include <optional>

namespace ombrix {

namespace {

void setTextIfDifferent(QLineEdit* edit, const std::string& text) {
    const QString t = QString::fromStdString(text);
    if (edit->text() != t)
        edit->setText(t);
}

// The sweep's fields and labels, and "Cyclic": enabled while the sweep is on.
std::array<QWidget*, 9> sweepWidgets(const GeneralPage& g) {
    return {g.startFreqLabel, g.StartFreq, g.stopFreqLabel, g.StopFreq,  g.stepLabel,
            g.StepComboBox,   g.timeLabel, g.Time,          g.SwapCyclic};
}

} // namespace

FieldBinding::FieldBinding(Controls controls, FormsDocument& document, Calculation& calculation,
                           UserPrompts& prompts, char sep)
    : c_(std::move(controls)), document_(document), calculation_(calculation), prompts_(prompts),
      sep_(sep) {
    bindGeneral();
    for (int i = 0; i < kOutputCount; ++i)
        bindOutput(i);
    rules_ =
        std::make_unique<FieldRules>(*this, document_, c_.pages, c_.chartMenu, c_.focusNext, sep_);
    bindControlPanel();
    // MaxFrequency before any field can be left, without the exit rules a change would run:
    // the start-up texts stay as they are.
    const MaxFrequencyResult start = computeMaxFrequency(
        parseInteger(document_.forms().General.NumOfSam).value_or(0), deviceSettings());
    if (start.value) {
        maxFrequency_ = *start.value;
        trackBarMax_ = static_cast<int>(*start.value);
    }
    c_.controlPanel.setTrackBarMaximum(trackBarMax_);
}

FieldBinding::~FieldBinding() = default;

const DeviceSettings& FieldBinding::deviceSettings() const {
    return c_.settings.settings();
}

void FieldBinding::bindGeneral() {
    GeneralPage& page = c_.pages.general;
    GeneralSettings& g = document_.forms().General;
    auto bindText = [](QLineEdit* edit, std::string& field) {
        connect(edit, &QLineEdit::textChanged, edit,
                [&field](const QString& t) { field = t.toStdString(); });
    };
    bindText(page.Freq, g.Freq);
    bindText(page.NumOfSam, g.NumOfSam);
    bindText(page.StartFreq, g.StartFreq);
    bindText(page.StopFreq, g.StopFreq);
    bindText(page.Time, g.Time);
    connect(page.StepComboBox, &QComboBox::currentTextChanged, this,
            [&g](const QString& t) { g.Step = t.toStdString(); });
    // A step chosen from the list (or with the wheel) is a finished edit: its rule runs at once
    // (the minimum step time), as when a typed step is left.
    connect(page.StepComboBox, &QComboBox::activated, this,
            [this] { leaveField(c_.pages.general.StepComboBox->lineEdit()); });
    for (int k = 1; k < kOutputCount; ++k) {
        bindText(page.Ph_Disp[k], g.Ph_Disp[k]);
        connect(page.activeBox[k], &QCheckBox::toggled, this, [this, k] { activeOutputClick(k); });
    }
    connect(page.CheckBox6, &QCheckBox::toggled, this, &FieldBinding::setMaxNumberClick);
    connect(page.SwapEnabled, &QCheckBox::toggled, this, &FieldBinding::swapEnabledClick);
    connect(page.SwapCyclic, &QCheckBox::toggled, this, &FieldBinding::swapEnabledClick);
    connect(page.UpDown1001, &UpDown::clicked, this, [this](int, bool up) { upDownClick(up); });
    connect(page.advanced, &QPushButton::clicked, this, [this] { emit settingsRequested(1); });
}

void FieldBinding::bindOutput(int i) {
    OutputPage& o = c_.pages.outputs[i];
    OutputForm& f = document_.forms().Outputs[i];
    for (int r = 0; r < kHarmonicCount; ++r) {
        HarmonicRow& row = f.Harmonics[r];
        connect(o.amplitude[r], &QLineEdit::textChanged, this,
                [&row](const QString& t) { row.Amplitude = t.toStdString(); });
        connect(o.phase[r], &QLineEdit::textChanged, this,
                [&row](const QString& t) { row.Phase = t.toStdString(); });
        connect(o.en[r], &QCheckBox::toggled, this, [this, &row, i](bool on) {
            row.En = on;
            calculation_.CalculateForms(i, i);
        });
    }
    for (int k = 0; k < kPulseParamCount; ++k)
        connect(o.pulse[k], &QLineEdit::textChanged, this,
                [&f, k](const QString& t) { f.Pulse[k] = t.toStdString(); });
    connect(o.offset, &QLineEdit::textChanged, this, [this, &f](const QString& t) {
        f.Offset = t.toStdString();
        document_.setModified(true); // any change of an offset text, whoever makes it
    });
    connect(o.formButtons, &QButtonGroup::idToggled, this, [this, i](int id, bool checked) {
        if (checked)
            radioGroupClick(i, id);
    });
    connect(o.equation, &QPlainTextEdit::textChanged, this,
            [&o, &f] { f.Equation = o.equation->toPlainText().toStdString(); });
    connect(o.equationButton, &QPushButton::clicked, this, [this, &o] {
        if (c_.equationEditor.editEquation(o.index, o.equation->toPlainText())) {
            o.equation->setPlainText(c_.equationEditor.equationText());
            calculation_.CalculateForms(o.index, o.index);
        }
    });
    connect(o.copyButton, &QPushButton::clicked, this, [this, i] { copySettingsClick(i); });
    connect(o.copySource, &QComboBox::activated, this, [this, i] {
        if (i != 2) // a choice on the page of output 3 does not mark the forms modified
            document_.setModified(true);
    });
}

void FieldBinding::bindControlPanel() {
    TControlPanelForm& panel = c_.controlPanel;
    filterTextIntake(panel.ControlPanelFreq, FieldFamily::ControlPanelFrequency, sep_);
    // The panel's field mirrors the main frequency.
    connect(c_.pages.general.Freq, &QLineEdit::textChanged, this, [this] {
        FreqChange(document_.forms().General, controlPanelFreq_);
        c_.controlPanel.setFrequencyText(QString::fromStdString(controlPanelFreq_));
    });
    connect(&panel, &TControlPanelForm::frequencyTextChanged, this,
            [this](const QString& t) { controlPanelFreq_ = t.toStdString(); });
    connect(&panel, &TControlPanelForm::frequencyLeft, this,
            [this] { applyOutcome(ControlPanelFreqExit(controlPanelFreq_, maxFrequency_, sep_)); });
    // A changed quartz or instruction count moves the frequency limit: recompute it and
    // clamp the frequency fields as a change of the sample count does.
    connect(&c_.settings, &TSettingsForm::timingSettingsChanged, this,
            [this] { sampleCountChanged(); });
}

void FieldBinding::pushTexts() {
    const GeneralSettings& g = document_.forms().General;
    GeneralPage& page = c_.pages.general;
    const QString panelFreq = QString::fromStdString(controlPanelFreq_);
    if (c_.controlPanel.ControlPanelFreq->text() != panelFreq)
        c_.controlPanel.setFrequencyText(panelFreq);
    setTextIfDifferent(page.Freq, g.Freq);
    setTextIfDifferent(page.NumOfSam, g.NumOfSam);
    setTextIfDifferent(page.StartFreq, g.StartFreq);
    setTextIfDifferent(page.StopFreq, g.StopFreq);
    setTextIfDifferent(page.Time, g.Time);
    if (page.StepComboBox->currentText().toStdString() != g.Step)
        page.StepComboBox->setCurrentText(QString::fromStdString(g.Step));
    for (int k = 1; k < kOutputCount; ++k)
        setTextIfDifferent(page.Ph_Disp[k], g.Ph_Disp[k]);
    for (auto& o : c_.pages.outputs) {
        const OutputForm& f = document_.forms().Outputs[o.index];
        for (int r = 0; r < kHarmonicCount; ++r) {
            setTextIfDifferent(o.amplitude[r], f.Harmonics[r].Amplitude);
            setTextIfDifferent(o.phase[r], f.Harmonics[r].Phase);
        }
        for (int r = 0; r < kHarmonicCount; ++r) {
            // The model already holds the state: no click rule runs for this write-back.
            const QSignalBlocker block(o.en[r]);
            o.en[r]->setChecked(f.Harmonics[r].En);
        }
        for (int k = 0; k < kPulseParamCount; ++k)
            setTextIfDifferent(o.pulse[k], f.Pulse[k]);
        setTextIfDifferent(o.offset, f.Offset);
        const QString equation = QString::fromStdString(f.Equation);
        if (o.equation->toPlainText() != equation)
            o.equation->setPlainText(equation);
    }
}

void FieldBinding::applyForms(const FormsConfig& f) {
    const FormsDocument::HistoryPause pause(document_); // one step, taken by New or Open
    // Each value goes in through its control in the stated order, so that the rules a change
    // of that value runs (counts, limits, enabling, visibility, modified mark) run as well.
    auto setText = [](QLineEdit* edit, const std::string& text) {
        edit->setText(QString::fromStdString(text));
    };
    GeneralPage& page = c_.pages.general;
    const GeneralSettings& g = f.General;
    setText(page.Freq, g.Freq);
    setText(page.NumOfSam, g.NumOfSam);
    for (int k = 1; k < kOutputCount; ++k)
        setText(page.Ph_Disp[k], g.Ph_Disp[k]);
    for (int k = 1; k < kOutputCount; ++k)
        page.activeBox[k]->setChecked(g.Active[k]);
    // Again, now that the outputs are: the count was clamped to what the former active
    // outputs allowed, and a switched output may have clamped it further.
    setText(page.NumOfSam, g.NumOfSam);
    page.UpDown1001->setRange(1, document_.MaxSamples());
    setText(page.StartFreq, g.StartFreq);
    setText(page.StopFreq, g.StopFreq);
    if (g.Step != document_.forms().General.Step) // New resets the step; a file leaves it
        page.StepComboBox->setCurrentText(QString::fromStdString(g.Step));
    setText(page.Time, g.Time);
    page.SwapEnabled->setChecked(g.SwapEnabled);
    page.SwapCyclic->setChecked(g.SwapCyclic);
    for (auto& o : c_.pages.outputs)
        o.formItems[static_cast<int>(f.Outputs[o.index].Form)]->setChecked(true);
    for (auto& o : c_.pages.outputs)
        setText(o.offset, f.Outputs[o.index].Offset);
    for (auto& o : c_.pages.outputs) {
        const OutputForm& src = f.Outputs[o.index];
        for (int r = 0; r < kHarmonicCount; ++r) {
            setText(o.amplitude[r], src.Harmonics[r].Amplitude);
            setText(o.phase[r], src.Harmonics[r].Phase);
            // The whole set is recalculated at the end: no request per enable box.
            const QSignalBlocker block(o.en[r]);
            o.en[r]->setChecked(src.Harmonics[r].En);
            document_.forms().Outputs[o.index].Harmonics[r].En = src.Harmonics[r].En;
        }
        for (int k = 0; k < kPulseParamCount; ++k)
            setText(o.pulse[k], src.Pulse[k]);
        o.equation->setPlainText(QString::fromStdString(src.Equation));
    }
}

void FieldBinding::restoreForms(const FormsConfig& state) {
    applyForms(state);
    c_.pages.general.CheckBox6->setChecked(state.General.SetMaxNumber);
    // The controls' rules may not rewrite what was committed: the forms are the state.
    document_.forms() = state;
    pushTexts();
}

void FieldBinding::enableForNewForms() {
    GeneralPage& page = c_.pages.general;
    page.Freq->setEnabled(true);
    page.freqLabel->setEnabled(true);
    for (int k = 1; k < kOutputCount; ++k) {
        page.Ph_Disp[k]->setEnabled(true);
        page.phDispLabel[k]->setEnabled(true);
    }
    for (QWidget* w : sweepWidgets(page))
        w->setEnabled(false);
}

void FieldBinding::applyOutcome(const RuleOutcome& outcome) {
    pushTexts();
    if (outcome.hasChanged(ModelField::StepList))
        c_.pages.general.StepComboBox->setCurrentText(
            QString::fromStdString(document_.forms().General.Step));
    if (outcome.markModified)
        document_.setModified(true);
    if (outcome.error)
        prompts_.showMessage(QString::fromStdString(*outcome.error), "Error");
    if (outcome.recalc)
        calculation_.CalculateForms(outcome.recalc->first, outcome.recalc->second);
    if (outcome.sweepStepsDue)
        updateSweepSteps();
    document_.formsCommitted();
}

void FieldBinding::updateSweepSteps() {
    const SweepSteps steps = UpdateSweepSteps(document_.forms().General, deviceSettings(), sep_);
    if (steps.error) {
        prompts_.showMessage(QString::fromStdString(*steps.error), "Error");
        return;
    }
    QStringList items;
    for (const std::string& item : steps.items)
        items << QString::fromStdString(item);
    QComboBox* combo = c_.pages.general.StepComboBox;
    combo->clear();
    combo->addItems(items);
    combo->setCurrentText(QString::fromStdString(steps.text));
}

void FieldBinding::sampleCountChanged() {
    // While the user types the count, only the limits follow; leaving the field clamps.
    SampleCountChange c =
        NumOfSamChange(document_.forms().General, controlPanelFreq_, deviceSettings(), sep_,
                       c_.chartMenu.view() != ViewKind::Form,
                       countCommitting_ || (!c_.pages.general.NumOfSam->hasFocus() &&
                                            typing_ != c_.pages.general.NumOfSam));
    if (c.maxFrequency)
        maxFrequency_ = *c.maxFrequency;
    if (c.trackBarMax) {
        trackBarMax_ = *c.trackBarMax;
        c_.controlPanel.setTrackBarMaximum(trackBarMax_);
    }
    emit sampleCountEdited();
    // Also runs at each keystroke of the count: the step is taken when the field is left.
    const FormsDocument::HistoryPause pause(document_);
    applyOutcome(c.outcome);
}

void FieldBinding::typeInto(QLineEdit* edit, const QString& text) {
    typing_ = edit;
    edit->setText(text);
    typing_ = nullptr;
}

void FieldBinding::radioGroupClick(int output, int kind) {
    OutputPage& o = c_.pages.outputs[output];
    document_.forms().Outputs[output].Form = static_cast<FormKind>(kind);
    const FormVisibility v = formVisibility(document_.forms().Outputs[output].Form);
    o.pulsePanel->setVisible(v.pulsePanel);
    o.pulsePanel->setEnabled(v.pulsePanel);
    o.harmonicsBox->setVisible(v.harmonicsBox);
    o.harmonicsBox->setEnabled(v.harmonicsBox);
    o.equation->setVisible(v.equationMemo);
    o.offset->setEnabled(v.offsetEnabled);
    o.offsetLabel->setEnabled(v.offsetEnabled);
    calculation_.CalculateForms(output, output);
}

void FieldBinding::activeOutputClick(int k) {
    document_.setModified(true);
    GeneralSettings& g = document_.forms().General;
    g.Active[k] = c_.pages.general.activeBox[k]->isChecked();
    const RecalcRange range = toggleActiveOutput(g, k);
    c_.pages.general.UpDown1001->setRange(1, document_.MaxSamples());
    pushTexts();
    if (range)
        calculation_.CalculateForms(range->first, range->second);
}

void FieldBinding::setMaxNumberClick() {
    GeneralPage& page = c_.pages.general;
    const bool on = page.CheckBox6->isChecked();
    document_.forms().General.SetMaxNumber = on;
    page.NumOfSam->setReadOnly(on);
    page.UpDown1001->setEnabled(!on);
    const RecalcRange range = setMaxNumber(document_.forms().General);
    page.UpDown1001->setRange(1, document_.MaxSamples());
    pushTexts();
    if (range)
        calculation_.CalculateForms(range->first, range->second);
}

void FieldBinding::swapEnabledClick() {
    GeneralPage& page = c_.pages.general;
    GeneralSettings& g = document_.forms().General;
    g.SwapEnabled = page.SwapEnabled->isChecked();
    g.SwapCyclic = page.SwapCyclic->isChecked();
    const bool on = g.SwapEnabled;
    page.Freq->setEnabled(!on);
    page.freqLabel->setEnabled(!on);
    for (QWidget* w : sweepWidgets(page))
        w->setEnabled(on);
    emit sweepSwitched(on);
    applyOutcome(SwapEnabledClick(g, sep_));
}

void FieldBinding::upDownClick(bool up) {
    applyOutcome(UpDown1001Click(document_.forms().General, up ? 1 : -1));
    c_.pages.general.UpDown1001->setPosition(
        parseInteger(document_.forms().General.NumOfSam).value_or(1));
}

void FieldBinding::copySettingsClick(int target) {
    OutputPage& o = c_.pages.outputs[target];
    const int item = o.copySource->currentIndex();
    if (item < 0)
        return; // no source chosen yet: nothing to copy
    const int source = o.copySourceOutput(item);
    FormsConfig& forms = document_.forms();
    {
        const FormsDocument::HistoryPause pause(document_); // one step in all
        // The form kind first, through its own rule, then every parameter.
        o.formItems[static_cast<int>(forms.Outputs[source].Form)]->setChecked(true);
        copySettings(forms, source, target);
        pushTexts();
        calculation_.CalculateForms(target, target);
    }
    document_.formsCommitted();
}

} // namespace ombrix
