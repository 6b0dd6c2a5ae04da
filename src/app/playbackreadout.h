// What the device will really do with the forms: the frequency its timing words give (under
// the frequency field, for the sweep's ends and in the control panel), and which outputs the
// converter range will limit (dashed lines on their charts and "Limited when sent: ..." in
// the status bar). Nothing here changes what is sent.
#pragma once

#include <QObject>
#include <QString>

#include <string>

namespace ombrix {

class Calculation;
class ChartMenu;
class FieldBinding;
class FormsDocument;
class TControlPanelForm;
class TSettingsForm;
struct MainPages;

class PlaybackReadout : public QObject {
    Q_OBJECT
  public:
    // Follows the frequency, count and sweep fields, the control panel's frequency, the
    // settings' timing and the end of every calculation run.
    PlaybackReadout(const FormsDocument& document, const Calculation& calculation,
                    const FieldBinding& binding, MainPages& pages, const ChartMenu& chartMenu,
                    TControlPanelForm& controlPanel, TSettingsForm& settings, char sep);

    void refreshRealFrequency();
    // Limit lines and the "Limited when sent" panel; redraws the output charts unless told not.
    void refreshConverterLimits(bool redraw = true);

  private:
    // "Device plays 999.8 Hz (-200 ppm)" for a frequency text; empty when it is no number.
    QString realFrequencyText(const std::string& freqText) const;

    const FormsDocument& document_;
    const Calculation& calculation_;
    const FieldBinding& binding_;
    MainPages& pages_;
    const ChartMenu& chartMenu_;
    TControlPanelForm& controlPanel_;
    char sep_;
};

} // namespace ombrix
