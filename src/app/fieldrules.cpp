#include "app/fieldrules.h"

#include "app/fieldbinding.h"
#include "app/formsdocument.h"
#include "app/mainpages.h"
#include "core/model/exitrules.h"
#include "gui/charts/chartmenu.h"
#include "gui/common/fieldevents.h"
#include "gui/common/textintake.h"
#include "gui/common/updown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <optional>

namespace ombrix {

namespace {

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

FieldRules::FieldRules(FieldBinding& binding, FormsDocument& document, MainPages& pages,
                       ChartMenu& chartMenu, std::function<void()> focusNext, char sep)
    : binding_(binding), document_(document), pages_(pages), chartMenu_(chartMenu),
      focusNext_(std::move(focusNext)), sep_(sep) {
    for (int i = 0; i < kOutputCount; ++i)
        bindOutput(i);
    bindGeneral();
}

bool FieldRules::applyKeyFilter(QLineEdit* edit, FieldFamily family, QKeyEvent* event, int output) {
    const std::optional<KeyFilterResult> result = filterEditKey(edit, family, event, sep_);
    if (!result)
        return false;
    const KeyFilterResult& r = *result;
    if (r.markModified)
        document_.setModified(true);
    if (r.repairOutputCells && output >= 0) {
        OutputForm& f = document_.forms().Outputs[output];
        if (family == FieldFamily::PulseLevel || family == FieldFamily::PulseTime)
            repairEmptyPulseCells(f);
        else
            repairEmptyHarmonicCells(f);
        binding_.pushTexts();
    }
    if (r.focusNext)
        focusNext_();
    return r.discard;
}

void FieldRules::filterIntake(QLineEdit* edit, FieldFamily family) {
    filterTextIntake(edit, family, sep_, [this](const TypedText& typed) {
        if (typed.markModified)
            document_.setModified(true);
    });
}

void FieldRules::bindGeneral() {
    GeneralPage& g = pages_.general;
    GeneralSettings& forms = document_.forms().General;
    auto single = [this](QLineEdit* edit, FieldFamily family, std::function<RuleOutcome()> exit) {
        filterIntake(edit, family);
        watchField(
            edit,
            [this, edit, family](QKeyEvent* e) { return applyKeyFilter(edit, family, e, -1); },
            [this, edit, exit] {
                // A command may commit the count while its field keeps the focus.
                std::optional<FieldBinding::CountCommit> commit;
                if (edit == pages_.general.NumOfSam)
                    commit.emplace(binding_);
                binding_.applyOutcome(exit());
            });
    };
    single(g.Freq, FieldFamily::Frequency, [this, &forms] {
        return FreqExit(forms, binding_.MaxFrequency(), sep_, chartMenu_.view() != ViewKind::Form);
    });
    single(g.NumOfSam, FieldFamily::SampleCount, [this, &forms] {
        RuleOutcome o = NumOfSamExit(forms);
        pages_.general.UpDown1001->setRange(1, document_.MaxSamples());
        // The frequencies are clamped against the committed count: through the text change
        // when the rule rewrote the count, here when the typed count stands.
        if (!o.error && !o.hasChanged(ModelField::NumOfSam))
            binding_.sampleCountChanged();
        return o;
    });
    for (int k = 1; k < kOutputCount; ++k)
        single(g.Ph_Disp[k], FieldFamily::PhaseShift,
               [this, k] { return Ph_DispExit(document_.forms(), k, sep_); });
    single(g.StartFreq, FieldFamily::SweepValue,
           [this, &forms] { return StartFreqExit(forms, binding_.MaxFrequency(), sep_); });
    single(g.StopFreq, FieldFamily::SweepValue,
           [this, &forms] { return StopFreqExit(forms, binding_.MaxFrequency(), sep_); });
    single(g.StepComboBox->lineEdit(), FieldFamily::SweepValue,
           [this, &forms] { return StepComboBoxExit(forms, binding_.MaxFrequency(), sep_); });
    single(g.Time, FieldFamily::StepTime, [this, &forms] { return TimeExit(forms, sep_); });

    QObject::connect(g.NumOfSam, &QLineEdit::textChanged, g.NumOfSam,
                     [this] { binding_.sampleCountChanged(); });

    // A typed space on the active-output and sweep boxes marks the forms modified.
    for (QCheckBox* box : {g.activeBox[1], g.activeBox[2], g.activeBox[3], g.activeBox[4],
                           g.activeBox[5], g.SwapEnabled, g.SwapCyclic})
        watchField(
            box,
            [this](QKeyEvent* e) {
                if (e->key() == Qt::Key_Space)
                    document_.setModified(true);
                return false;
            },
            nullptr);
}

void FieldRules::bindOutput(int i) {
    OutputPage& o = pages_.outputs[i];
    // A typed equation is a step of its own once the memo is left.
    watchField(o.equation, nullptr, [this] { document_.formsCommitted(); });
    watchField(
        o.copySource,
        [this](QKeyEvent* key) {
            if (!isEnter(key))
                return discardedListKey(key);
            focusNext_();
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
                focusNext_();
                return true;
            },
            nullptr);
    for (int r = 0; r < kHarmonicCount; ++r) {
        for (QLineEdit* cell : {o.amplitude[r], o.phase[r]}) {
            const FieldFamily family = cell == o.amplitude[r] ? FieldFamily::HarmonicAmplitude
                                                              : FieldFamily::HarmonicPhase;
            filterIntake(cell, family);
            watchField(
                cell,
                [this, cell, family, i](QKeyEvent* e) {
                    return pages_.shownOutput() == i && applyKeyFilter(cell, family, e, i);
                },
                [this, i] { binding_.applyOutcome(onExit(document_.forms(), i)); });
        }
    }
    for (int k = 0; k < kPulseParamCount; ++k) {
        QLineEdit* cell = o.pulse[k];
        const FieldFamily family = k <= A1 ? FieldFamily::PulseLevel : FieldFamily::PulseTime;
        filterIntake(cell, family);
        watchField(
            cell,
            [this, cell, family, i](QKeyEvent* e) {
                return pages_.shownOutput() == i && applyKeyFilter(cell, family, e, i);
            },
            [this, i] { binding_.applyOutcome(onExitPulse(document_.forms(), i, sep_)); });
    }
    filterIntake(o.offset, FieldFamily::Offset);
    watchField(
        o.offset,
        [this, &o](QKeyEvent* e) { return applyKeyFilter(o.offset, FieldFamily::Offset, e, -1); },
        [this, i] { binding_.applyOutcome(onExit(document_.forms(), i)); });
}

} // namespace ombrix
