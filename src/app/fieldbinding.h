// The field binding: the main window's controls bound to the forms model. Every control
// change is written to the model at once and the rules that change the model are written
// back, so controls and model never disagree. It runs the click rules of the pages, applies
// the outcome of key filters and exit rules (fieldrules.h installs them), and keeps the limits
// that follow the number of samples: MaxFrequency and the track bar's maximum.
#pragma once

#include "core/model/devicesettings.h"
#include "core/model/exitrules.h"
#include "core/model/formsconfig.h"

#include <QObject>

class QLineEdit;

#include <functional>
#include <memory>
#include <string>

namespace ombrix {

class ChartMenu;
class Calculation;
class FieldRules;
class FormsDocument;
class TControlPanelForm;
class TEquForm;
class TSettingsForm;
class UserPrompts;
struct MainPages;

class FieldBinding : public QObject {
    Q_OBJECT
  public:
    // The controls and windows the binding works with. `focusNext` moves the focus to the
    // window's next control (Enter in a field).
    struct Controls {
        MainPages& pages;
        ChartMenu& chartMenu;
        TControlPanelForm& controlPanel; // its frequency field mirrors the main frequency
        TSettingsForm& settings;
        TEquForm& equationEditor;
        std::function<void()> focusNext;
    };

    FieldBinding(Controls controls, FormsDocument& document, Calculation& calculation,
                 UserPrompts& prompts, char sep);
    ~FieldBinding() override;

    // Puts forms into the controls in the file's order, running each value's change rules.
    void applyForms(const FormsConfig& f);
    // Puts exactly these forms back (undo): no rule may rewrite what was committed.
    void restoreForms(const FormsConfig& state);
    // The enabling New gives: frequency and phase fields on, sweep fields off.
    void enableForNewForms();
    // Writes the model's texts into the controls that differ.
    void pushTexts();
    // Applies what an exit or click rule decided: texts, modified mark, message, recalculation
    // and sweep steps; the change becomes an undo step.
    void applyOutcome(const RuleOutcome& outcome);
    // The number of samples changed (typed, or the settings' timing): limits follow.
    void sampleCountChanged();
    // Writes `text` into `edit` as typing does (a remote command): while the text changes, the
    // field counts as being typed into, so the sample count's limits follow it and the
    // frequencies wait for the field's exit rule.
    void typeInto(QLineEdit* edit, const QString& text);
    // Copy settings into output `target` from the source chosen on its page.
    void copySettingsClick(int target);

    // The settings dialog's texts.
    const DeviceSettings& deviceSettings() const;
    long double MaxFrequency() const { return maxFrequency_; }
    // The control panel's frequency text.
    const std::string& controlPanelFreq() const { return controlPanelFreq_; }

  signals:
    // The sweep was switched on or off.
    void sweepSwitched(bool on);
    // The number of samples was edited ("&Send all" recalculates first).
    void sampleCountEdited();
    // "&Advanced" asks for the settings dialog's page 1.
    void settingsRequested(int page);

  private:
    void bindGeneral();
    void bindOutput(int output);
    void bindControlPanel();
    void radioGroupClick(int output, int kind);
    void activeOutputClick(int k);
    void setMaxNumberClick();
    void swapEnabledClick();
    void upDownClick(bool up);
    void updateSweepSteps();

    Controls c_;
    FormsDocument& document_;
    Calculation& calculation_;
    UserPrompts& prompts_;
    char sep_;
    std::unique_ptr<FieldRules> rules_;
    long double maxFrequency_ = 0;
    int trackBarMax_ = 0;
    std::string controlPanelFreq_ = "1000";
    QLineEdit* typing_ = nullptr; // the field typeInto writes
};

} // namespace ombrix
