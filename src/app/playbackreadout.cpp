#include "app/playbackreadout.h"

#include "app/calculation.h"
#include "app/fieldbinding.h"
#include "app/formsdocument.h"
#include "app/mainpages.h"
#include "core/device/playback.h"
#include "core/model/numbertext.h"
#include "gui/charts/chartmenu.h"
#include "gui/charts/chartview.h"
#include "gui/common/elidedlabel.h"
#include "gui/device/controlpanel.h"
#include "gui/dialogs/settingsform.h"

#include <QLabel>
#include <QLineEdit>

#include <cmath>

namespace ombrix {

namespace {

QString hertz(double hz, char sep) {
    // Six significant digits say what a counter would show; more would only be noise.
    const double rounded = std::stod(QString::number(hz, 'g', 9).toStdString());
    return QString::fromStdString(formatGeneral(rounded, sep));
}

} // namespace

PlaybackReadout::PlaybackReadout(const FormsDocument& document, const Calculation& calculation,
                                 const FieldBinding& binding, MainPages& pages,
                                 const ChartMenu& chartMenu, TControlPanelForm& controlPanel,
                                 TSettingsForm& settings, char sep)
    : document_(document), calculation_(calculation), binding_(binding), pages_(pages),
      chartMenu_(chartMenu), controlPanel_(controlPanel), sep_(sep) {
    const GeneralPage& g = pages_.general;
    for (QLineEdit* edit : {g.Freq, g.NumOfSam, g.StartFreq, g.StopFreq})
        connect(edit, &QLineEdit::textChanged, this, &PlaybackReadout::refreshRealFrequency);
    connect(&controlPanel_, &TControlPanelForm::frequencyTextChanged, this,
            &PlaybackReadout::refreshRealFrequency);
    connect(&settings, &TSettingsForm::timingSettingsChanged, this,
            &PlaybackReadout::refreshRealFrequency);
    connect(&calculation, &Calculation::resultsIn, this, [this] { refreshConverterLimits(false); });
    refreshRealFrequency();
}

QString PlaybackReadout::realFrequencyText(const std::string& freqText) const {
    const DeviceSettings& settings = binding_.deviceSettings();
    const auto f = parseNumber(freqText, sep_);
    const auto n = parseInteger(document_.forms().General.NumOfSam);
    const auto q = wholeNumber(settings.Quartz);
    const auto g = wholeNumber(settings.Instructions);
    if (!f || !n || !q || !g || *f <= 0 || *n <= 0)
        return {};
    const auto r = realFrequency(static_cast<double>(*f), *n, static_cast<double>(*q),
                                 static_cast<double>(*g));
    if (!r)
        return "The device cannot play this frequency";
    return QStringLiteral("Device plays %1 Hz (%2)")
        .arg(hertz(r->hz, sep_), QString::fromStdString(frequencyErrorText(r->ppm, sep_)));
}

void PlaybackReadout::refreshRealFrequency() {
    const GeneralSettings& g = document_.forms().General;
    const DeviceSettings& settings = binding_.deviceSettings();
    pages_.general.realFreq->setText(realFrequencyText(g.Freq));
    const auto start = parseNumber(g.StartFreq, sep_);
    const auto stop = parseNumber(g.StopFreq, sep_);
    const auto n = parseInteger(g.NumOfSam);
    const auto q = wholeNumber(settings.Quartz);
    const auto gi = wholeNumber(settings.Instructions);
    QString sweep;
    if (start && stop && n && q && gi && *start > 0 && *stop > 0) {
        const auto a = realFrequency(static_cast<double>(*start), *n, static_cast<double>(*q),
                                     static_cast<double>(*gi));
        const auto b = realFrequency(static_cast<double>(*stop), *n, static_cast<double>(*q),
                                     static_cast<double>(*gi));
        if (a && b)
            sweep = QStringLiteral("Device plays %1 .. %2 Hz")
                        .arg(hertz(a->hz, sep_), hertz(b->hz, sep_));
    }
    pages_.general.realSweep->setText(sweep);
    controlPanel_.setRealFrequencyText(realFrequencyText(binding_.controlPanelFreq()));
}

void PlaybackReadout::refreshConverterLimits(bool redraw) {
    const DeviceSettings& settings = binding_.deviceSettings();
    const auto v1 = wholeNumber(settings.VRef1);
    const auto v2 = wholeNumber(settings.VRef2);
    QStringList names;
    if (v1 && v2 && *v1 > 0 && *v2 > 0) {
        const auto limited =
            limitedOutputs(calculation_.allSamples(), document_.forms().General.Active,
                           static_cast<double>(*v1), static_cast<double>(*v2));
        for (int k = 0; k < kOutputCount; ++k) {
            const VoltageRange range = converterRange(static_cast<double>(k < 2 ? *v1 : *v2));
            // The lines are volt levels: they belong to the form view only.
            pages_.outputs[k].chart->setLimitLines(
                limited[k] && chartMenu_.view() == ViewKind::Form, range.low, range.high, redraw);
            if (limited[k])
                names << QStringLiteral("Output %1").arg(k + 1);
        }
    }
    pages_.limitsPanel->setFullText(names.isEmpty() ? QString()
                                                    : "Limited when sent: " + names.join(", "));
    pages_.limitsPanel->setVisible(!names.isEmpty());
}

} // namespace ombrix
