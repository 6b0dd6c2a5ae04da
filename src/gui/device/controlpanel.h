// The control panel "Control Panel": starts and stops outputs and changes the frequency while
// the device plays. Every action asks the device link for one frame and returns at once; the
// link sends it after what was asked before (a newer frequency replaces one still waiting).
// The panel keeps no device state of its own: the run mask is the link's, and the link tells
// the panel when the outputs playing change.
#pragma once

#include "core/device/runmask.h"
#include "core/model/devicesettings.h"

#include <QWidget>

#include <array>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace ombrix {

// What the panel reads and writes elsewhere.
struct ControlPanelLink {
    std::function<std::uint8_t()> runMask;         // the mask the Start/Stop rules change
    std::function<void(std::uint8_t)> sendRunMask; // asks the link for a run mask
    // Asks the link for a frequency [Hz] with the main number of samples.
    std::function<void(double)> sendFrequency;
    std::function<OutputFlags()> active;                 // Output 1..6 active (1 always)
    std::function<std::string()> mainFreq;               // the main window's Freq text
    std::function<void(const std::string&)> setMainFreq; // writes the main Freq text
    std::function<long double()> maxFrequency;           // MaxFrequency
    std::function<const DeviceSettings*()> settings;     // nothing before the dialog exists
    char sep = '.';
};

class TControlPanelForm : public QWidget {
    Q_OBJECT
  public:
    explicit TControlPanelForm(QWidget* parent = nullptr);

    void setLink(ControlPanelLink link) { link_ = std::move(link); }

    // The sixteen Start/Stop buttons; the frequency label, edit and track bar.
    void setButtonsEnabled(bool enabled);
    void setFrequencyEnabled(bool enabled);
    void setTrackBarMaximum(int maximum);
    // The frequency field's text, as the main frequency writes it; the change runs the
    // field's own rules as typing does.
    void setFrequencyText(const QString& text);
    // What the device plays for the panel's frequency ("Device plays ... Hz (...)").
    void setRealFrequencyText(const QString& text);

    // "Control &panel" on the tool bar: the track bar at the main frequency as an integer
    // (the whole part of a fraction), the field at its text, then shown.
    void showWithFrequency(const QString& freqText);

    // Rows by output index 0..5 (output 6 is CheckBox1/Button1/Button2).
    std::array<QCheckBox*, kOutputCount> rowBox{};
    std::array<QPushButton*, kOutputCount> startButton{};
    std::array<QPushButton*, kOutputCount> stopButton{};
    // "playing" beside each output the last run mask sent to the device started.
    std::array<QLabel*, kOutputCount> playing{};
    // The outputs playing on the device changed.
    void showPlaying(std::uint8_t mask);
    QPushButton* Button13 = nullptr; // "Selected" Start
    QPushButton* Button14 = nullptr; // "Selected" Stop
    QPushButton* Button15 = nullptr; // "All" Start
    QPushButton* Button16 = nullptr; // "All" Stop
    QLabel* Label8 = nullptr;
    QLineEdit* ControlPanelFreq = nullptr;
    QSlider* TrackBar1 = nullptr;
    QLabel* realFreq = nullptr; // what the device plays for the panel's frequency

  signals:
    // The frequency field's text changed, by typing, the track bar or setFrequencyText.
    void frequencyTextChanged(const QString& text);
    // The window was closed by the user (the View menu unticks its item).
    void closed();
    // The user left the frequency field (the main window runs ControlPanelFreqExit).
    void frequencyLeft();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void sendRunMask(std::uint8_t mask);
    OutputFlags ticked() const;
    void ControlPanelFreqChange();

    ControlPanelLink link_;
};

} // namespace ombrix
