// What the device will really do with the forms: the frequency its timing words give, and
// which outputs the converter range will limit. Shown beside the fields and on the charts;
// nothing here changes what is sent.
#include "app/ombrix.h"
#include "core/device/playback.h"
#include "core/model/numbertext.h"
#include "gui/charts/chartmenu.h"
#include "gui/charts/chartview.h"
#include "gui/common/elidedlabel.h"
#include "gui/device/controlpanel.h"

#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>

#include <cmath>

namespace ombrix {

namespace {

QString hertz(double hz, char sep) {
    // Six significant digits say what a counter would show; more would only be noise.
    const double rounded = std::stod(QString::number(hz, 'g', 9).toStdString());
    return QString::fromStdString(formatGeneral(rounded, sep));
}

} // namespace

QString TOmbrix::realFrequencyText(const std::string& freqText) const {
    const auto f = parseNumber(freqText, sep_);
    const auto n = parseInteger(forms_.General.NumOfSam);
    const auto q = wholeNumber(deviceSettings().Quartz);
    const auto g = wholeNumber(deviceSettings().Instructions);
    if (!f || !n || !q || !g || *f <= 0 || *n <= 0)
        return {};
    const auto r = realFrequency(static_cast<double>(*f), *n, static_cast<double>(*q),
                                 static_cast<double>(*g));
    if (!r)
        return "The device cannot play this frequency";
    const QString ppm =
        std::fabs(r->ppm) < 0.05
            ? QString("exact")
            : QStringLiteral("%1%2 ppm")
                  .arg(r->ppm > 0 ? "+" : "")
                  .arg(QString::fromStdString(formatGeneral(std::round(r->ppm * 10) / 10, sep_)));
    return QStringLiteral("Device plays %1 Hz (%2)").arg(hertz(r->hz, sep_), ppm);
}

void TOmbrix::refreshRealFrequency() {
    const GeneralSettings& g = forms_.General;
    general_.realFreq->setText(realFrequencyText(g.Freq));
    const auto start = parseNumber(g.StartFreq, sep_);
    const auto stop = parseNumber(g.StopFreq, sep_);
    const auto n = parseInteger(g.NumOfSam);
    const auto q = wholeNumber(deviceSettings().Quartz);
    const auto gi = wholeNumber(deviceSettings().Instructions);
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
    general_.realSweep->setText(sweep);
    if (controlPanel_)
        controlPanel_->realFreq->setText(realFrequencyText(controlPanelFreq_));
}

void TOmbrix::refreshConverterLimits(bool redraw) {
    const auto v1 = wholeNumber(deviceSettings().VRef1);
    const auto v2 = wholeNumber(deviceSettings().VRef2);
    QStringList names;
    if (v1 && v2 && *v1 > 0 && *v2 > 0) {
        const auto limited = limitedOutputs(samples_, forms_.General.Active,
                                            static_cast<double>(*v1), static_cast<double>(*v2));
        for (int k = 0; k < kOutputCount; ++k) {
            const VoltageRange range = converterRange(static_cast<double>(k < 2 ? *v1 : *v2));
            // The lines are volt levels: they belong to the form view only.
            outputs_[k].chart->setLimitLines(limited[k] && chartMenu_->view() == ViewKind::Form,
                                             range.low, range.high, redraw);
            if (limited[k])
                names << QStringLiteral("Output %1").arg(k + 1);
        }
    }
    limitsPanel_->setFullText(names.isEmpty() ? QString()
                                              : "Limited when sent: " + names.join(", "));
    limitsPanel_->setVisible(!names.isEmpty());
}

void TOmbrix::bindPlayback() {
    // It takes only the room the six panels leave; its whole text is in its tool tip.
    limitsPanel_ = new ElidedLabel(this);
    limitsPanel_->setObjectName("LimitsPanel");
    limitsPanel_->setStyleSheet("color: #b00000");
    limitsPanel_->hide();
    statusBar()->addPermanentWidget(limitsPanel_);
    for (QLineEdit* edit :
         {general_.Freq, general_.NumOfSam, general_.StartFreq, general_.StopFreq})
        connect(edit, &QLineEdit::textChanged, this, [this] { refreshRealFrequency(); });
    refreshRealFrequency();
}

} // namespace ombrix
