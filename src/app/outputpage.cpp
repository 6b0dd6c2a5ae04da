#include "app/outputpage.h"

#include "app/pulsepicture.h"
#include "gui/charts/chartview.h"
#include "gui/common/fieldevents.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace ombrix {

namespace {

constexpr int kLeftPanelWidth = 407;

QLineEdit* smallEdit(QWidget* parent, int left, int top, int width, int height, int maxLength,
                     const QString& text) {
    auto* edit = new QLineEdit(text, parent);
    edit->setGeometry(left, top, width, height);
    setTypingLimit(edit, maxLength);
    return edit;
}

QLabel* label(QWidget* parent, const QString& text, int left, int top) {
    auto* l = new QLabel(text, parent);
    l->move(left, top);
    return l;
}

void buildPulseEdits(OutputPage& o) {
    struct Place {
        int left, top;
    };
    static constexpr Place places[kPulseParamCount] = {{8, 24},    {8, 96},    {74, 216},
                                                       {152, 216}, {246, 216}, {318, 216}};
    const PulseParams defaults = OutputForm{}.Pulse;
    // The four times in a row under the picture: "tD1: [  ] %", spaced by a layout so that
    // no label runs into the next field.
    auto* times = new QWidget(o.pulsePanel);
    times->setGeometry(40, 214, 349, 27);
    auto* row = new QHBoxLayout(times);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    const char* captions[] = {"tD1:", "tR:", "tD2:", "tF:"};
    for (int k = 0; k < kPulseParamCount; ++k) {
        QWidget* parent = k < tD1 ? o.pulsePanel : times;
        o.pulse[k] = smallEdit(parent, places[k].left, places[k].top, 41, 21, 6,
                               QString::fromStdString(defaults[k]));
        o.pulse[k]->setObjectName(QStringLiteral("Pulse%1_%2").arg(o.index + 1).arg(k));
        if (k < tD1)
            continue;
        if (k > tD1)
            row->addStretch(1);
        auto* caption = new QLabel(captions[k - tD1], times);
        caption->setBuddy(o.pulse[k]);
        row->addWidget(caption);
        o.pulse[k]->setFixedSize(41, 21);
        row->addWidget(o.pulse[k]);
        row->addWidget(new QLabel("%", times));
    }
}

void buildHarmonicRow(OutputPage& o, int row) {
    const int column = row / 10, j = row % 10;
    const int x = 200 * column;
    QWidget* box = o.harmonicsBox;
    label(box, QString::number(row + 1), 15 + x, 34 + 21 * j);
    o.amplitude[row] = smallEdit(box, 35 + x, 30 + 21 * j, 45, 17, 6, "0");
    o.phase[row] = smallEdit(box, 105 + x, 30 + 21 * j, 45, 17, 6, "0");
    o.phase[row]->setVisible(row != 0); // row 1 carries the hidden phase shift
    o.en[row] = new QCheckBox(box);
    o.en[row]->setGeometry(167 + x, 33 + 21 * j, 20, 14);
    // One heading serves a column: the cell's own name says which harmonic it holds.
    o.amplitude[row]->setAccessibleName(QStringLiteral("Amplitude[V]: %1").arg(row + 1));
    o.phase[row]->setAccessibleName(QStringLiteral("Phase(Grad): %1").arg(row + 1));
    o.en[row]->setAccessibleName(QStringLiteral("En. %1").arg(row + 1));
    o.amplitude[row]->setObjectName(QStringLiteral("Amplitude%1_%2").arg(o.index + 1).arg(row));
    o.phase[row]->setObjectName(QStringLiteral("Phase%1_%2").arg(o.index + 1).arg(row));
    o.en[row]->setObjectName(QStringLiteral("En%1_%2").arg(o.index + 1).arg(row));
}

QWidget* strip(QWidget* parent, int top) {
    auto* panel = new QWidget(parent);
    panel->setGeometry(6, top, 389, 30);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(4, 2, 4, 2);
    return panel;
}

} // namespace

OutputPage buildOutputPage(int index, QWidget* page) {
    OutputPage o;
    o.index = index;
    o.page = page;
    const QString caption = QStringLiteral("Output %1").arg(index + 1);

    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    o.leftPanel = new QWidget(page);
    o.leftPanel->setFixedWidth(kLeftPanelWidth);
    o.leftPanel->setMinimumHeight(420);
    layout->addWidget(o.leftPanel);
    o.chart = new ChartView(caption, false, page);
    o.chart->setObjectName(QStringLiteral("Output_Chart%1").arg(index + 1));
    layout->addWidget(o.chart, 1);

    // The pulse panel of the form layout, lying under the "Harmonics" box.
    o.pulsePanel = new QWidget(o.leftPanel);
    o.pulsePanel->setObjectName(QStringLiteral("PanelOutput%1_4").arg(index + 1));
    o.pulsePanel->setGeometry(6, 6, 389, 249);
    new PulsePicture(o.pulsePanel);
    QLabel* a2Label = label(o.pulsePanel, "A2[V]:", 8, 8);
    QLabel* a1Label = label(o.pulsePanel, "A1[V]:", 8, 80);
    o.pulsePanel->setEnabled(false);
    o.pulsePanel->hide();

    o.formGroup = new QGroupBox("Form", o.leftPanel);
    o.formGroup->setObjectName(QStringLiteral("RadioGroup%1").arg(index + 1));
    o.formGroup->setGeometry(6, 262, 389, 44);
    auto* formLayout = new QHBoxLayout(o.formGroup);
    formLayout->setContentsMargins(8, 2, 8, 2);
    o.formButtons = new QButtonGroup(o.formGroup);
    const char* items[] = {"Sine Generator", "Pulse Generator", "Equation"};
    for (int k = 0; k < 3; ++k) {
        o.formItems[k] = new QRadioButton(items[k], o.formGroup);
        o.formButtons->addButton(o.formItems[k], k);
        formLayout->addWidget(o.formItems[k]);
    }
    o.formItems[0]->setChecked(true);

    QWidget* copyPanel = strip(o.leftPanel, 310);
    o.copySource = new QComboBox(copyPanel);
    o.copySource->setObjectName(QStringLiteral("ComboBox%1").arg(index + 1));
    for (int k = 0; k < kOutputCount; ++k)
        if (k != index)
            o.copySource->addItem(QStringLiteral("Output %1").arg(k + 1));
    o.copySource->setPlaceholderText("Select output");
    o.copySource->setCurrentIndex(-1);
    o.copyButton = new QPushButton("&Copy settings", copyPanel);
    copyPanel->layout()->addWidget(o.copySource);
    copyPanel->layout()->addWidget(o.copyButton);

    QWidget* equationPanel = strip(o.leftPanel, 344);
    o.equationButton = new QPushButton("&Equation edit", equationPanel);
    equationPanel->layout()->addWidget(o.equationButton);
    static_cast<QHBoxLayout*>(equationPanel->layout())->addStretch(1);

    QWidget* offsetPanel = strip(o.leftPanel, 378);
    o.offsetLabel = new QLabel("Offset [V]:", offsetPanel);
    o.offset = new QLineEdit("0", offsetPanel);
    o.offset->setObjectName(QStringLiteral("Edit%1").arg(index + 1));
    setTypingLimit(o.offset, 6);
    o.offsetLabel->setBuddy(o.offset);
    o.offset->setFixedWidth(60);
    offsetPanel->layout()->addWidget(o.offsetLabel);
    offsetPanel->layout()->addWidget(o.offset);
    static_cast<QHBoxLayout*>(offsetPanel->layout())->addStretch(1);

    // Run-time controls, in their order: the "Harmonics" box, the pulse edits, the equation.
    o.harmonicsBox = new QGroupBox("Harmonics", o.leftPanel);
    o.harmonicsBox->setGeometry(6, 6, 389, 251);
    buildPulseEdits(o);
    a2Label->setBuddy(o.pulse[A2]);
    a1Label->setBuddy(o.pulse[A1]);
    o.equation = new QPlainTextEdit(o.leftPanel);
    o.equation->setObjectName(QStringLiteral("Equation%1").arg(index + 1));
    o.equation->setGeometry(5, 10, 389, 249);
    o.equation->setReadOnly(true);
    o.equation->hide();
    return o;
}

// Column headings and rows are built for every output in a fixed order by the main window.
void buildHarmonicHeadings(OutputPage& o) {
    // Each heading centred over its column of edits (amplitude at 35..80, phase at 105..150,
    // En at 167) in the box's small font, and never closer than 3 pixels to its neighbour.
    QFont small = o.harmonicsBox->font();
    small.setPixelSize(10);
    const QFontMetrics fm(small);
    for (int x : {0, 200}) {
        int right = 14 + x;
        for (const auto& [text, centre] :
             {std::pair{"Amplitude[V]:", 57}, {"Phase(Grad):", 127}, {"En.", 175}}) {
            const int width = fm.horizontalAdvance(text);
            const int left = std::max(right + 3, centre + x - width / 2);
            label(o.harmonicsBox, text, left, 15)->setFont(small);
            right = left + width;
        }
    }
}

void buildHarmonicRows(OutputPage& o, int firstRow, int lastRow) {
    for (int r = firstRow; r <= lastRow; ++r)
        buildHarmonicRow(o, r);
}

} // namespace ombrix
