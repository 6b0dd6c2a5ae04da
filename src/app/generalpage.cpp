#include "app/generalpage.h"

#include "gui/charts/chartview.h"
#include "gui/common/fieldevents.h"
#include "gui/common/readoutholder.h"
#include "gui/common/updown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ombrix {

namespace {

constexpr int kLeftPanelWidth = 311;

QLineEdit* edit(const QString& text, int maxLength, const QString& name) {
    auto* e = new QLineEdit(text);
    setTypingLimit(e, maxLength);
    e->setObjectName(name);
    return e;
}

} // namespace

GeneralPage buildGeneralPage(QWidget* page) {
    GeneralPage g;
    g.page = page;
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* left = new QWidget(page);
    left->setFixedWidth(kLeftPanelWidth);
    layout->addWidget(left);
    g.ChartAll = new ChartView("All outputs", true, page);
    g.ChartAll->setObjectName("ChartAll");
    layout->addWidget(g.ChartAll, 1);

    auto* column = new QVBoxLayout(left);
    column->setContentsMargins(6, 2, 6, 2);
    column->setSpacing(2);

    auto* freqRow = new QHBoxLayout;
    g.freqLabel = new QLabel("Frequency[Hz]:");
    g.Freq = edit("1000", 8, "Freq");
    g.freqLabel->setBuddy(g.Freq);
    freqRow->addWidget(g.freqLabel);
    freqRow->addWidget(g.Freq);
    column->addLayout(freqRow);
    g.realFreq = new QLabel;
    g.realFreq->setObjectName("RealFrequency");
    g.realFreq->setStyleSheet("color: #505050");
    column->addWidget(new ReadoutHolder(g.realFreq));

    auto* sweep = new QGroupBox("Sweep");
    auto* sweepGrid = new QGridLayout(sweep);
    sweepGrid->setContentsMargins(6, 2, 6, 2);
    sweepGrid->setVerticalSpacing(2);
    g.startFreqLabel = new QLabel("Start Freq. [Hz]:");
    g.StartFreq = edit("1", 8, "StartFreq");
    g.stopFreqLabel = new QLabel("End Freq. [Hz]:");
    g.StopFreq = edit("1", 8, "StopFreq");
    g.stepLabel = new QLabel("Step [Hz]:");
    g.StepComboBox = new QComboBox;
    g.StepComboBox->setObjectName("StepComboBox");
    g.StepComboBox->setEditable(true);
    g.StepComboBox->addItems({"1", "3", "5", "10", "20", "50", "100", "200", "250"});
    g.StepComboBox->setCurrentText("1");
    g.timeLabel = new QLabel("Step time[ms]:");
    g.Time = edit("1", 8, "Time");
    g.SwapEnabled = new QCheckBox("Enabled");
    g.SwapEnabled->setObjectName("SwapEnabled");
    g.SwapCyclic = new QCheckBox("Cyclic");
    g.SwapCyclic->setObjectName("SwapCyclic");
    g.startFreqLabel->setBuddy(g.StartFreq);
    g.stopFreqLabel->setBuddy(g.StopFreq);
    g.stepLabel->setBuddy(g.StepComboBox);
    g.timeLabel->setBuddy(g.Time);
    sweepGrid->addWidget(g.startFreqLabel, 0, 0);
    sweepGrid->addWidget(g.StartFreq, 0, 1);
    sweepGrid->addWidget(g.stopFreqLabel, 1, 0);
    sweepGrid->addWidget(g.StopFreq, 1, 1);
    sweepGrid->addWidget(g.stepLabel, 2, 0);
    sweepGrid->addWidget(g.StepComboBox, 2, 1);
    sweepGrid->addWidget(g.timeLabel, 3, 0);
    sweepGrid->addWidget(g.Time, 3, 1);
    sweepGrid->addWidget(g.SwapEnabled, 4, 0);
    sweepGrid->addWidget(g.SwapCyclic, 4, 1);
    g.realSweep = new QLabel;
    g.realSweep->setObjectName("RealSweep");
    g.realSweep->setStyleSheet("color: #505050");
    sweepGrid->addWidget(new ReadoutHolder(g.realSweep), 5, 0, 1, 2);
    for (QWidget* w : std::initializer_list<QWidget*>{
             g.startFreqLabel, g.StartFreq, g.stopFreqLabel, g.StopFreq, g.stepLabel,
             g.StepComboBox, g.timeLabel, g.Time, g.SwapCyclic})
        w->setEnabled(false);
    column->addWidget(sweep);

    auto* phase = new QGroupBox("Phase shift to Output 1 (Grad):");
    auto* phaseGrid = new QGridLayout(phase);
    phaseGrid->setContentsMargins(6, 2, 6, 2);
    phaseGrid->setVerticalSpacing(2);
    for (int k = 1; k < kOutputCount; ++k) {
        g.phDispLabel[k] = new QLabel(QStringLiteral("Output %1:").arg(k + 1));
        g.Ph_Disp[k] = edit("0", 6, QStringLiteral("Ph_Disp_%1").arg(k + 1));
        g.phDispLabel[k]->setBuddy(g.Ph_Disp[k]);
        const int row = (k - 1) / 2, col = ((k - 1) % 2) * 2;
        phaseGrid->addWidget(g.phDispLabel[k], row, col);
        phaseGrid->addWidget(g.Ph_Disp[k], row, col + 1);
    }
    column->addWidget(phase);

    auto* active = new QGroupBox("Active outputs");
    auto* activeGrid = new QGridLayout(active);
    activeGrid->setContentsMargins(6, 2, 6, 2);
    activeGrid->setVerticalSpacing(2);
    for (int k = 1; k < kOutputCount; ++k) {
        g.activeBox[k] = new QCheckBox(QStringLiteral("Output %1").arg(k + 1));
        g.activeBox[k]->setObjectName(QStringLiteral("CheckBox%1").arg(k));
        activeGrid->addWidget(g.activeBox[k], (k - 1) / 3, (k - 1) % 3);
    }
    column->addWidget(active);

    auto* samplesRow = new QHBoxLayout;
    samplesRow->setSpacing(2);
    auto* samplesLabel = new QLabel("Number of samples:");
    samplesRow->addWidget(samplesLabel);
    g.NumOfSam = edit("1000", 5, "NumOfSam");
    samplesLabel->setBuddy(g.NumOfSam);
    g.NumOfSam->setFixedWidth(56);
    samplesRow->addWidget(g.NumOfSam);
    g.UpDown1001 = new UpDown;
    g.UpDown1001->setObjectName("UpDown1001");
    g.UpDown1001->setRange(1, kTotalSamples);
    g.UpDown1001->setPosition(1000);
    g.UpDown1001->setFixedHeight(g.NumOfSam->sizeHint().height());
    samplesRow->addWidget(g.UpDown1001);
    samplesRow->addStretch(1);
    column->addLayout(samplesRow);
    g.CheckBox6 = new QCheckBox("Set max number");
    g.CheckBox6->setObjectName("CheckBox6");

    g.advanced = new QPushButton("&Advanced");
    // Beside "Set max number", so that the column fits the window's default height.
    auto* advancedRow = new QHBoxLayout;
    advancedRow->addWidget(g.CheckBox6);
    advancedRow->addSpacing(12);
    advancedRow->addWidget(g.advanced);
    advancedRow->addStretch(1);
    column->addLayout(advancedRow);
    column->addStretch(1);
    return g;
}

} // namespace ombrix
