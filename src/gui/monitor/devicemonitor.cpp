#include "gui/monitor/devicemonitor.h"

#include "core/device/playback.h"

#include "core/device/encodings.h"
#include "gui/device/devicecontroller.h"

#include <QGridLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <qcustomplot.h>

namespace ombrix {

namespace {

QCustomPlot* makePlot(QWidget* parent, const QString& name, const QString& xLabel,
                      const QString& yLabel) {
    auto* plot = new QCustomPlot(parent);
    plot->setObjectName(name);
    plot->addGraph();
    plot->graph(0)->setLineStyle(QCPGraph::lsStepLeft);
    plot->xAxis->setLabel(xLabel);
    plot->yAxis->setLabel(yLabel);
    plot->setMinimumSize(260, 150);
    return plot;
}

void setCurve(QCustomPlot* plot, const std::vector<double>& xs, const std::vector<double>& ys,
              const QColor& colour) {
    plot->graph(0)->setData(QVector<double>(xs.begin(), xs.end()),
                            QVector<double>(ys.begin(), ys.end()), true);
    plot->graph(0)->setPen(QPen(colour, 1.5));
    plot->rescaleAxes();
    // Room above and below, so a flat level does not sit on the axis line.
    const QCPRange y = plot->yAxis->range();
    const double pad = std::max(0.05 * y.size(), 0.1);
    plot->yAxis->setRange(y.lower - pad, y.upper + pad);
    plot->replot();
}

} // namespace

DeviceMonitor::DeviceMonitor(DeviceController& device, QWidget* parent)
    : QWidget(parent, Qt::Window), device_(device) {
    setObjectName("DeviceMonitor");
    setWindowTitle("Device monitor");
    source_ = new QLabel(this);
    source_->setObjectName("MonitorSource");
    auto* grid = new QGridLayout;
    for (int k = 0; k < static_cast<int>(kOutputCount); ++k) {
        auto* cell = new QVBoxLayout;
        plots_[k] = makePlot(this, QString("MonitorOutput%1").arg(k + 1), "t [ms]", "U [V]");
        captions_[k] = new QLabel(this);
        captions_[k]->setObjectName(QString("MonitorCaption%1").arg(k + 1));
        captions_[k]->setWordWrap(true);
        cell->addWidget(plots_[k], 1);
        cell->addWidget(captions_[k]);
        grid->addLayout(cell, k / 3, k % 3);
    }
    references_ = new QLabel(this);
    references_->setObjectName("MonitorReferences");
    sweep_ = makePlot(this, "MonitorSweep", "t [ms]", "f [Hz]");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(source_);
    layout->addLayout(grid, 3);
    layout->addWidget(references_);
    layout->addWidget(sweep_, 1);
    timer_ = new QTimer(this);
    timer_->setInterval(500);
    connect(timer_, &QTimer::timeout, this, &DeviceMonitor::refresh);
    // A transfer clears the flag; its end compares the device with the forms again.
    connect(&device_, &DeviceController::transferStarting, this, [this] {
        difference_ = {};
        shownDifference_.clear();
        emit differenceChanged({});
    });
    connect(&device_, &DeviceController::transferFinished, this, &DeviceMonitor::refresh);
    resize(980, 720);
}

QString DeviceMonitor::differenceText() const {
    return difference_.any() ? "Device differs: " + QString::fromStdString(difference_.text())
                             : QString();
}

void DeviceMonitor::refresh() {
    const SimState state = device_.deviceState();
    const double q = device_.quartzMHz();
    const double g = device_.instructions();
    image_ = deviceImage(state, q, g);
    // A transfer under way holds part of the forms: compared once it has ended.
    const TransferInput forms = device_.formsInput();
    separator_ = forms.sep;
    difference_ =
        device_.transferRunning() ? DeviceDifference{} : deviceDifference(state, forms, q, g);
    const QString text = differenceText();
    if (text != shownDifference_) {
        shownDifference_ = text;
        emit differenceChanged(text);
    }
    if (isVisible())
        draw();
}

void DeviceMonitor::draw() {
    source_->setText(device_.readsBack()
                         ? "Read from the simulated generator's state."
                         : "Built from what the program last sent and the device acknowledged "
                           "(the device cannot be read back).");
    for (std::size_t k = 0; k < kOutputCount; ++k) {
        const OutputImage& out = image_.outputs[k];
        const bool differs = difference_.outputs[k];
        setCurve(plots_[k], out.timeMs, out.volts, out.plays ? QColor(0, 90, 200) : Qt::gray);
        QString caption = QString("<b>Output %1</b>: %2, %3 samples")
                              .arg(k + 1)
                              .arg(out.plays ? "plays" : "stopped")
                              .arg(out.samples);
        if (out.hz > 0) {
            caption += QString(", %1 Hz").arg(out.hz, 0, 'g', 10);
            if (difference_.formsHz > 0)
                caption += QString(" (%1 against the forms)")
                               .arg(QString::fromStdString(
                                   frequencyErrorText(difference_.ppm, separator_)));
        }
        if (differs)
            caption += " <span style='color:red'><b>differs from the forms</b></span>";
        captions_[k]->setText(caption);
    }
    const DeviceImage& i = image_;
    references_->setText(
        QString("Reference codes: %1 (%2 mV, outputs 1-2) / %3 (%4 mV, outputs 3-6); run "
                "mask 0x%5; timing words %6, %7, %8; sweep %9")
            .arg(i.referenceCode1)
            .arg(referenceMillivolts(i.referenceCode1))
            .arg(i.referenceCode2)
            .arg(referenceMillivolts(i.referenceCode2))
            .arg(i.runMask, 2, 16, QChar('0'))
            .arg(i.timing.OuterCount)
            .arg(i.timing.InnerCount)
            .arg(i.timing.Remainder)
            .arg(i.sweepMode == 0   ? "off"
                 : i.sweepMode == 3 ? "cyclic"
                                    : "single pass"));
    setCurve(sweep_, i.sweepTimeMs, i.sweepHz, QColor(160, 60, 0));
}

void DeviceMonitor::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
    timer_->start();
}

void DeviceMonitor::hideEvent(QHideEvent* event) {
    timer_->stop();
    QWidget::hideEvent(event);
}

} // namespace ombrix
