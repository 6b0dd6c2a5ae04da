// Binding the forms to the main window's controls: every control change is written to the
// model, and the click rules of the general page and the output pages run on it.
#include "app/ombrix.h"

#include "core/model/formsrules.h"
#include "core/model/numbertext.h"
#include "gui/charts/chartmenu.h"
#include "gui/charts/chartview.h"
#include "gui/common/fieldevents.h"
#include "gui/common/updown.h"
#include "gui/device/controlpanel.h"
#include "gui/device/devicecontroller.h"
#include "gui/dialogs/equedit.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>

#include <optional>

namespace ombrix {

namespace {

void setTextIfDifferent(QLineEdit* edit, const std::string& text) {
    const QString t = QString::fromStdString(text);
    if (edit->text() != t)
        edit->setText(t);
}

// Keys of a copy-source combo box, whose text can only be chosen from its list: typed
// characters (Space, Backspace and Escape included), Delete, Left and Right are discarded;
// Up, Down and the other list keys choose, Tab leaves. Enter is the caller's (moves on).
bool discardedListKey(const QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false;
    case Qt::Key_Delete:
    case Qt::Key_Left:
    case Qt::Key_Right:
        return true;
    default:
        return !key->text().isEmpty();
    }
}

bool isEnter(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

} // namespace

void TOmbrix::bindGeneral() {
    GeneralSettings& g = forms_.General;
    auto bindText = [](QLineEdit* edit, std::string& field) {
        connect(edit, &QLineEdit::textChanged, edit,
                [&field](const QString& t) { field = t.toStdString(); });
    };
    bindText(general_.Freq, g.Freq);
    bindText(general_.NumOfSam, g.NumOfSam);
    bindText(general_.StartFreq, g.StartFreq);
    bindText(general_.StopFreq, g.StopFreq);
    bindText(general_.Time, g.Time);
    connect(general_.StepComboBox, &QComboBox::currentTextChanged, this,
            [this](const QString& t) { forms_.General.Step = t.toStdString(); });
    connect(general_.StepComboBox, &QComboBox::activated, this, [this] { formsCommitted(); });
    for (int k = 1; k < kOutputCount; ++k) {
        bindText(general_.Ph_Disp[k], g.Ph_Disp[k]);
        connect(general_.activeBox[k], &QCheckBox::toggled, this,
                [this, k] { activeOutputClick(k); });
    }
    connect(general_.CheckBox6, &QCheckBox::toggled, this, &TOmbrix::setMaxNumberClick);
    connect(general_.SwapEnabled, &QCheckBox::toggled, this, &TOmbrix::swapEnabledClick);
    connect(general_.SwapCyclic, &QCheckBox::toggled, this, &TOmbrix::swapEnabledClick);
    connect(general_.UpDown1001, &UpDown::clicked, this, [this](int, bool up) { upDownClick(up); });
    connect(general_.advanced, &QPushButton::clicked, this, [this] { openSettings(1); });
}

void TOmbrix::bindOutput(OutputPage& o) {
    const int i = o.index;
    OutputForm& f = forms_.Outputs[i];
    for (int r = 0; r < kHarmonicCount; ++r) {
        HarmonicRow& row = f.Harmonics[r];
        connect(o.amplitude[r], &QLineEdit::textChanged, this,
                [&row](const QString& t) { row.Amplitude = t.toStdString(); });
        connect(o.phase[r], &QLineEdit::textChanged, this,
                [&row](const QString& t) { row.Phase = t.toStdString(); });
        connect(o.en[r], &QCheckBox::toggled, this, [this, &row, i](bool on) {
            row.En = on;
            harmonicEnableClick(i);
        });
    }
    for (int k = 0; k < kPulseParamCount; ++k)
        connect(o.pulse[k], &QLineEdit::textChanged, this,
                [&f, k](const QString& t) { f.Pulse[k] = t.toStdString(); });
    connect(o.offset, &QLineEdit::textChanged, this, [this, &f](const QString& t) {
        f.Offset = t.toStdString();
        modified_ = true; // any change of an offset text, whoever makes it
    });
    connect(o.formButtons, &QButtonGroup::idToggled, this, [this, i](int id, bool checked) {
        if (checked)
            radioGroupClick(i, id);
    });
    connect(o.equation, &QPlainTextEdit::textChanged, this,
            [this, &o, &f] { f.Equation = o.equation->toPlainText().toStdString(); });
    connect(o.equationButton, &QPushButton::clicked, this, [this, &o] {
        if (!equationEditor_)
            return;
        if (equationEditor_->editEquation(o.index, o.equation->toPlainText())) {
            o.equation->setPlainText(equationEditor_->equationText());
            CalculateForms(o.index, o.index);
        }
    });
    connect(o.copyButton, &QPushButton::clicked, this, [this, i] { copySettingsClick(i); });
    // A typed equation is a step of its own once the memo is left.
    watchField(o.equation, nullptr, [this] { formsCommitted(); });
    connect(o.copySource, &QComboBox::activated, this, [this, i] {
        if (i != 2) // a choice on the page of output 3 does not mark the forms modified
            modified_ = true;
    });
    watchField(
        o.copySource,
        [this](QKeyEvent* key) {
            if (!isEnter(key))
                return discardedListKey(key);
            focusNextChild();
            return true;
        },
        nullptr);
    // Enter on an "En" box moves the focus on; Space toggles it as a click does.
    for (QCheckBox* box : o.en)
        watchField(
            box,
            [this](QKeyEvent* key) {
                if (!isEnter(key))
                    return false;
                focusNextChild();
                return true;
            },
            nullptr);
}

void TOmbrix::pushTexts() {
    const GeneralSettings& g = forms_.General;
    if (controlPanel_)
        setTextIfDifferent(controlPanel_->ControlPanelFreq, controlPanelFreq_);
    setTextIfDifferent(general_.Freq, g.Freq);
    setTextIfDifferent(general_.NumOfSam, g.NumOfSam);
    setTextIfDifferent(general_.StartFreq, g.StartFreq);
    setTextIfDifferent(general_.StopFreq, g.StopFreq);
    setTextIfDifferent(general_.Time, g.Time);
    if (general_.StepComboBox->currentText().toStdString() != g.Step)
        general_.StepComboBox->setCurrentText(QString::fromStdString(g.Step));
    for (int k = 1; k < kOutputCount; ++k)
        setTextIfDifferent(general_.Ph_Disp[k], g.Ph_Disp[k]);
    for (auto& o : outputs_) {
        const OutputForm& f = forms_.Outputs[o.index];
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

void TOmbrix::viewClick(QAction* item) {
    item->setChecked(true);
    const bool form = item == chartMenu_->Form1;
    if (form) {
        if (toolButtons_[4]->isEnabled())
            toolButtons_[1]->setEnabled(true);
    } else {
        toolButtons_[1]->setEnabled(false);
    }
    // The form view draws stairs, the spectrum views lines.
    chartMenu_->Stairs->setChecked(form);
    forEachSeries([form](ChartView* c, int i) { c->setStairs(i, form); });
    applyChartKinds();
    refreshConverterLimits();
    CalculateForms(0, kOutputCount - 1);
}

void TOmbrix::radioGroupClick(int output, int kind) {
    OutputPage& o = outputs_[output];
    forms_.Outputs[output].Form = static_cast<FormKind>(kind);
    const FormVisibility v = formVisibility(forms_.Outputs[output].Form);
    o.pulsePanel->setVisible(v.pulsePanel);
    o.pulsePanel->setEnabled(v.pulsePanel);
    o.harmonicsBox->setVisible(v.harmonicsBox);
    o.harmonicsBox->setEnabled(v.harmonicsBox);
    o.equation->setVisible(v.equationMemo);
    o.offset->setEnabled(v.offsetEnabled);
    o.offsetLabel->setEnabled(v.offsetEnabled);
    CalculateForms(output, output);
}

void TOmbrix::activeOutputClick(int k) {
    modified_ = true;
    forms_.General.Active[k] = general_.activeBox[k]->isChecked();
    const RecalcRange range = toggleActiveOutput(forms_.General, k);
    general_.UpDown1001->setRange(1, MaxSamples());
    pushTexts();
    if (range)
        CalculateForms(range->first, range->second);
}

void TOmbrix::setMaxNumberClick() {
    const bool on = general_.CheckBox6->isChecked();
    forms_.General.SetMaxNumber = on;
    general_.NumOfSam->setReadOnly(on);
    general_.UpDown1001->setEnabled(!on);
    const RecalcRange range = setMaxNumber(forms_.General);
    general_.UpDown1001->setRange(1, MaxSamples());
    pushTexts();
    if (range)
        CalculateForms(range->first, range->second);
}

void TOmbrix::swapEnabledClick() {
    GeneralSettings& g = forms_.General;
    g.SwapEnabled = general_.SwapEnabled->isChecked();
    g.SwapCyclic = general_.SwapCyclic->isChecked();
    const bool on = g.SwapEnabled;
    general_.Freq->setEnabled(!on);
    general_.freqLabel->setEnabled(!on);
    for (QWidget* w : std::initializer_list<QWidget*>{
             general_.startFreqLabel, general_.StartFreq, general_.stopFreqLabel, general_.StopFreq,
             general_.stepLabel, general_.StepComboBox, general_.timeLabel, general_.Time,
             general_.SwapCyclic})
        w->setEnabled(on);
    if (device_)
        device_->sweepSwitched(on);
    applyOutcome(SwapEnabledClick(g, sep_));
}

void TOmbrix::harmonicEnableClick(int output) {
    CalculateForms(output, output);
}

void TOmbrix::upDownClick(bool up) {
    applyOutcome(UpDown1001Click(forms_.General, up ? 1 : -1));
    general_.UpDown1001->setPosition(parseInteger(forms_.General.NumOfSam).value_or(1));
}

void TOmbrix::copySettingsClick(int target) {
    OutputPage& o = outputs_[target];
    const int item = o.copySource->currentIndex();
    if (item < 0)
        return; // no source chosen yet: nothing to copy
    const int source = o.copySourceOutput(item);
    std::optional<HistoryPause> pause(std::in_place, historyPaused_); // one step in all
    // The form kind first, through its own rule, then every parameter.
    outputs_[target].formItems[static_cast<int>(forms_.Outputs[source].Form)]->setChecked(true);
    copySettings(forms_, source, target);
    pushTexts();
    CalculateForms(target, target);
    pause.reset();
    formsCommitted();
}

} // namespace ombrix
