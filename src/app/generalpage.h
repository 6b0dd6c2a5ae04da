// The controls of the "General" page: the shared settings on the left, "All outputs" chart.
#pragma once

#include "core/model/formsconfig.h"

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace ombrix {

class ChartView;
class UpDown;

struct GeneralPage {
    QWidget* page = nullptr;
    QLabel* freqLabel = nullptr;
    QLineEdit* Freq = nullptr;
    QLabel* realFreq = nullptr;  // what the device plays for Freq
    QLabel* realSweep = nullptr; // what it plays at the sweep's start and end
    QLabel* startFreqLabel = nullptr;
    QLineEdit* StartFreq = nullptr;
    QLabel* stopFreqLabel = nullptr;
    QLineEdit* StopFreq = nullptr;
    QLabel* stepLabel = nullptr;
    QComboBox* StepComboBox = nullptr;
    QLabel* timeLabel = nullptr;
    QLineEdit* Time = nullptr;
    QCheckBox* SwapEnabled = nullptr;
    QCheckBox* SwapCyclic = nullptr;
    std::array<QLabel*, kOutputCount> phDispLabel{};  // [1..5]
    std::array<QLineEdit*, kOutputCount> Ph_Disp{};   // [1..5] = Ph_Disp_2..Ph_Disp_6
    std::array<QCheckBox*, kOutputCount> activeBox{}; // [1..5] = CheckBox1..CheckBox5
    QLineEdit* NumOfSam = nullptr;
    UpDown* UpDown1001 = nullptr;
    QCheckBox* CheckBox6 = nullptr; // "Set max number"
    QPushButton* advanced = nullptr;
    ChartView* ChartAll = nullptr;
};

GeneralPage buildGeneralPage(QWidget* page);

} // namespace ombrix
