// The main window's field rules: key filters on every numeric edit and the exit and change
// rules when a field is left or its text changes. The rules themselves are plain functions
// (core/model/keyfilters, core/model/exitrules); this file only applies their results to the edits.
#include "app/ombrix.h"
#include "core/model/exitrules.h"
#include "core/model/keyfilters.h"
#include "core/model/numbertext.h"
#include "gui/charts/chartmenu.h"
#include "gui/common/fieldevents.h"
#include "gui/common/updown.h"
#include "gui/device/controlpanel.h"
#include "gui/device/devicecontroller.h"
#include "gui/dialogs/settingsform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

namespace ombrix {

const DeviceSettings& TOmbrix::deviceSettings() const {
    static const DeviceSettings defaults;
    return settings_ ? settings_->settings() : defaults;
}

bool TOmbrix::applyKeyFilter(QLineEdit* edit, FieldFamily family, QKeyEvent* event, int output) {
    const std::optional<KeyFilterResult> result = filterEditKey(edit, family, event, sep_);
    if (!result)
        return false;
    const KeyFilterResult& r = *result;
    if (r.markModified)
        modified_ = true;
    if (r.repairOutputCells && output >= 0) {
        OutputForm& f = forms_.Outputs[output];
        if (family == FieldFamily::PulseLevel || family == FieldFamily::PulseTime)
            repairEmptyPulseCells(f);
        else
            repairEmptyHarmonicCells(f);
        pushTexts();
    }
    if (r.focusNext)
        focusNextChild();
    return r.discard;
}

void TOmbrix::applyOutcome(const RuleOutcome& outcome) {
    pushTexts();
    if (outcome.hasChanged(ModelField::StepList))
        general_.StepComboBox->setCurrentText(QString::fromStdString(forms_.General.Step));
    if (outcome.markModified)
        modified_ = true;
    if (outcome.error)
        showMessage(QString::fromStdString(*outcome.error), "Error");
    if (outcome.recalc)
        CalculateForms(outcome.recalc->first, outcome.recalc->second);
    if (outcome.sweepStepsDue)
        updateSweepSteps();
    formsCommitted();
}

void TOmbrix::updateSweepSteps() {
    const SweepSteps steps = UpdateSweepSteps(forms_.General, deviceSettings(), sep_);
    if (steps.error) {
        showMessage(QString::fromStdString(*steps.error), "Error");
        return;
    }
    QStringList items;
    for (const std::string& item : steps.items)
        items << QString::fromStdString(item);
    QComboBox* combo = general_.StepComboBox;
    combo->clear();
    combo->addItems(items);
    combo->setCurrentText(QString::fromStdString(steps.text));
}

void TOmbrix::sampleCountChanged() {
    sampleCountChanged_ = true;
    // While the user types the count, only the limits follow; leaving the field clamps.
    SampleCountChange c =
        NumOfSamChange(forms_.General, controlPanelFreq_, deviceSettings(), sep_,
                       chartMenu_->view() != ViewKind::Form, !general_.NumOfSam->hasFocus());
    if (c.maxFrequency)
        maxFrequency_ = *c.maxFrequency;
    if (c.trackBarMax) {
        trackBarMax_ = *c.trackBarMax;
        if (controlPanel_)
            controlPanel_->setTrackBarMaximum(trackBarMax_);
    }
    if (device_)
        device_->setSampleCountChanged();
    // Also runs at each keystroke of the count: the step is taken when the field is left.
    const HistoryPause pause(historyPaused_);
    applyOutcome(c.outcome);
}

void TOmbrix::bindFieldRules() {
    GeneralPage& g = general_;
    auto single = [this](QLineEdit* edit, FieldFamily family, std::function<RuleOutcome()> exit) {
        watchField(
            edit,
            [this, edit, family](QKeyEvent* e) { return applyKeyFilter(edit, family, e, -1); },
            exit ? FieldEvents::ExitHandler([this, exit] { applyOutcome(exit()); }) : nullptr);
    };
    single(g.Freq, FieldFamily::Frequency, [this] {
        return FreqExit(forms_.General, maxFrequency_, sep_, chartMenu_->view() != ViewKind::Form);
    });
    single(g.NumOfSam, FieldFamily::SampleCount, [this] {
        RuleOutcome o = NumOfSamExit(forms_.General);
        general_.UpDown1001->setRange(1, MaxSamples());
        // The frequencies are clamped against the committed count: through the text change
        // when the rule rewrote the count, here when the typed count stands.
        if (!o.error && !o.hasChanged(ModelField::NumOfSam))
            sampleCountChanged();
        return o;
    });
    for (int k = 1; k < kOutputCount; ++k)
        single(g.Ph_Disp[k], FieldFamily::PhaseShift,
               [this, k] { return Ph_DispExit(forms_, k, sep_); });
    single(g.StartFreq, FieldFamily::SweepValue,
           [this] { return StartFreqExit(forms_.General, maxFrequency_, sep_); });
    single(g.StopFreq, FieldFamily::SweepValue,
           [this] { return StopFreqExit(forms_.General, maxFrequency_, sep_); });
    single(g.StepComboBox->lineEdit(), FieldFamily::SweepValue,
           [this] { return StepComboBoxExit(forms_.General, maxFrequency_, sep_); });
    single(g.Time, FieldFamily::StepTime, [this] { return TimeExit(forms_.General, sep_); });

    connect(g.NumOfSam, &QLineEdit::textChanged, this, [this] { sampleCountChanged(); });
    connect(g.Freq, &QLineEdit::textChanged, this, [this] {
        FreqChange(forms_.General, controlPanelFreq_);
        if (controlPanel_) // the panel's field mirrors the main frequency
            controlPanel_->ControlPanelFreq->setText(QString::fromStdString(controlPanelFreq_));
    });

    for (auto& o : outputs_) {
        const int i = o.index;
        for (int r = 0; r < kHarmonicCount; ++r) {
            for (QLineEdit* cell : {o.amplitude[r], o.phase[r]}) {
                const FieldFamily family = cell == o.amplitude[r] ? FieldFamily::HarmonicAmplitude
                                                                  : FieldFamily::HarmonicPhase;
                watchField(
                    cell,
                    [this, cell, family, i](QKeyEvent* e) {
                        return shownOutput() == i && applyKeyFilter(cell, family, e, i);
                    },
                    [this, i] { applyOutcome(onExit(forms_, i)); });
            }
        }
        for (int k = 0; k < kPulseParamCount; ++k) {
            QLineEdit* cell = o.pulse[k];
            const FieldFamily family = k <= A1 ? FieldFamily::PulseLevel : FieldFamily::PulseTime;
            watchField(
                cell,
                [this, cell, family, i](QKeyEvent* e) {
                    return shownOutput() == i && applyKeyFilter(cell, family, e, i);
                },
                [this, i] { applyOutcome(onExitPulse(forms_, i, sep_)); });
        }
        watchField(
            o.offset,
            [this, &o](QKeyEvent* e) {
                return applyKeyFilter(o.offset, FieldFamily::Offset, e, -1);
            },
            [this, i] { applyOutcome(onExit(forms_, i)); });
    }

    // A typed space on the active-output and sweep boxes marks the forms modified.
    for (QCheckBox* box : {g.activeBox[1], g.activeBox[2], g.activeBox[3], g.activeBox[4],
                           g.activeBox[5], g.SwapEnabled, g.SwapCyclic})
        watchField(
            box,
            [this](QKeyEvent* e) {
                if (e->key() == Qt::Key_Space)
                    modified_ = true;
                return false;
            },
            nullptr);
    // MaxFrequency before any field can be left, without the exit rules a change would run:
    // the start-up texts stay as they are.
    const MaxFrequencyResult start =
        computeMaxFrequency(parseInteger(forms_.General.NumOfSam).value_or(0), deviceSettings());
    if (start.value) {
        maxFrequency_ = *start.value;
        trackBarMax_ = static_cast<int>(*start.value);
    }
}

} // namespace ombrix
