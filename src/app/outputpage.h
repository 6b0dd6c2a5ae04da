// The controls of one output page ("Output 1".."Output 6"): the left panel with the
// "Harmonics" box built at run time, the pulse panel, the form radio group, Copy settings,
// "&Equation edit" and the offset, and the output's chart filling the rest.
#pragma once

#include "core/model/formsconfig.h"

#include <QString>

#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace ombrix {

class ChartView;

struct OutputPage {
    int index = 0; // output index 0..5
    QWidget* page = nullptr;
    QWidget* leftPanel = nullptr;
    QGroupBox* harmonicsBox = nullptr;
    std::array<QLineEdit*, kHarmonicCount> amplitude{};
    std::array<QLineEdit*, kHarmonicCount> phase{};
    std::array<QCheckBox*, kHarmonicCount> en{};
    QWidget* pulsePanel = nullptr; // PanelOutputN_4
    std::array<QLineEdit*, kPulseParamCount> pulse{};
    QPlainTextEdit* equation = nullptr;
    QGroupBox* formGroup = nullptr; // RadioGroupN
    QButtonGroup* formButtons = nullptr;
    std::array<QRadioButton*, 3> formItems{};
    QComboBox* copySource = nullptr; // ComboBoxN
    QPushButton* copyButton = nullptr;
    QPushButton* equationButton = nullptr;
    QLabel* offsetLabel = nullptr;
    QLineEdit* offset = nullptr; // EditN
    ChartView* chart = nullptr;  // Output_ChartN

    // Output index of item `item` of the copy-source combo box (the page's own output skipped).
    int copySourceOutput(int item) const { return item < index ? item : item + 1; }
};

// Builds the page of output `index` (run-time controls in their stated order) into `page`.
OutputPage buildOutputPage(int index, QWidget* page);

} // namespace ombrix

namespace ombrix {
// The column headings of the "Harmonics" box.
void buildHarmonicHeadings(OutputPage& o);
// Harmonic rows firstRow..lastRow (0-based) of the output.
void buildHarmonicRows(OutputPage& o, int firstRow, int lastRow);
} // namespace ombrix
