#include "gui/device/controlpanel.h"

#include "core/model/numbertext.h"
#include "gui/common/fieldevents.h"
#include "gui/common/readoutholder.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace ombrix {

namespace {

// Object names of the rows, by output index (output 6 came first on the form).
constexpr int kBoxNumber[kOutputCount] = {2, 3, 4, 5, 6, 1};
constexpr int kStartNumber[kOutputCount] = {3, 5, 7, 9, 11, 1};

QPushButton* button(const char* caption, int number) {
    auto* b = new QPushButton(caption);
    b->setObjectName(QStringLiteral("Button%1").arg(number));
    b->setEnabled(false);
    return b;
}

} // namespace

TControlPanelForm::TControlPanelForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle("Control Panel");
    auto* column = new QVBoxLayout(this);

    auto* frequency = new QWidget;
    auto* freqRow = new QHBoxLayout(frequency);
    freqRow->setContentsMargins(0, 0, 0, 0);
    Label8 = new QLabel("Frequency[Hz]:");
    ControlPanelFreq = new QLineEdit("1");
    ControlPanelFreq->setObjectName("ControlPanelFreq");
    setTypingLimit(ControlPanelFreq, 8);
    ControlPanelFreq->setFixedWidth(80);
    TrackBar1 = new QSlider(Qt::Horizontal);
    TrackBar1->setObjectName("TrackBar1");
    TrackBar1->setRange(1, 20000);
    TrackBar1->setValue(1);
    TrackBar1->setSingleStep(1);
    TrackBar1->setTickPosition(QSlider::NoTicks);
    TrackBar1->setMinimumWidth(220);
    freqRow->addWidget(Label8);
    freqRow->addWidget(ControlPanelFreq);
    freqRow->addWidget(TrackBar1, 1);
    column->addWidget(frequency);
    realFreq = new QLabel;
    realFreq->setObjectName("RealFrequency");
    realFreq->setStyleSheet("color: #505050");
    column->addWidget(new ReadoutHolder(realFreq));
    setFrequencyEnabled(false);

    auto* rows = new QGroupBox;
    auto* grid = new QGridLayout(rows);
    for (int k = 0; k < kOutputCount; ++k) {
        rowBox[k] = new QCheckBox(QStringLiteral("Output %1").arg(k + 1));
        rowBox[k]->setObjectName(QStringLiteral("CheckBox%1").arg(kBoxNumber[k]));
        startButton[k] = button("Start", kStartNumber[k]);
        stopButton[k] = button("Stop", kStartNumber[k] + 1);
        grid->addWidget(rowBox[k], k, 0);
        grid->addWidget(startButton[k], k, 1);
        grid->addWidget(stopButton[k], k, 2);
        playing[k] = new QLabel;
        playing[k]->setObjectName(QStringLiteral("Playing%1").arg(k + 1));
        playing[k]->setStyleSheet("color: #007000; font-weight: bold");
        playing[k]->setMinimumWidth(playing[k]->fontMetrics().horizontalAdvance("playing") + 8);
        grid->addWidget(playing[k], k, 3);
        connect(startButton[k], &QPushButton::clicked, this, [this, k] {
            sendRunMask(startOutput(static_cast<std::uint8_t>(link_.runMask()), k));
        });
        connect(stopButton[k], &QPushButton::clicked, this, [this, k] {
            sendRunMask(stopOutput(static_cast<std::uint8_t>(link_.runMask()), k));
        });
    }
    Button13 = button("Start", 13);
    Button14 = button("Stop", 14);
    Button15 = button("Start", 15);
    Button16 = button("Stop", 16);
    grid->addWidget(new QLabel("Selected"), kOutputCount, 0);
    grid->addWidget(Button13, kOutputCount, 1);
    grid->addWidget(Button14, kOutputCount, 2);
    grid->addWidget(new QLabel("All"), kOutputCount + 1, 0);
    grid->addWidget(Button15, kOutputCount + 1, 1);
    grid->addWidget(Button16, kOutputCount + 1, 2);
    column->addWidget(rows);

    connect(Button13, &QPushButton::clicked, this, [this] {
        sendRunMask(
            startSelected(static_cast<std::uint8_t>(link_.runMask()), ticked(), link_.active()));
    });
    connect(Button14, &QPushButton::clicked, this, [this] {
        sendRunMask(stopSelected(static_cast<std::uint8_t>(link_.runMask()), ticked()));
    });
    connect(Button15, &QPushButton::clicked, this,
            [this] { sendRunMask(startAll(link_.active())); });
    connect(Button16, &QPushButton::clicked, this, [this] { sendRunMask(stopAll()); });

    connect(TrackBar1, &QSlider::valueChanged, this,
            [this](int position) { ControlPanelFreq->setText(QString::number(position)); });
    connect(ControlPanelFreq, &QLineEdit::textChanged, this,
            &TControlPanelForm::ControlPanelFreqChange);
    connect(ControlPanelFreq, &QLineEdit::textChanged, this,
            &TControlPanelForm::frequencyTextChanged);
    watchField(
        ControlPanelFreq,
        [this](QKeyEvent* e) {
            const auto r =
                filterEditKey(ControlPanelFreq, FieldFamily::ControlPanelFrequency, e, link_.sep);
            if (!r)
                return false;
            if (r->focusNext)
                focusNextChild();
            return r->discard;
        },
        [this] { emit frequencyLeft(); });
}

void TControlPanelForm::setButtonsEnabled(bool enabled) {
    for (int k = 0; k < kOutputCount; ++k) {
        startButton[k]->setEnabled(enabled);
        stopButton[k]->setEnabled(enabled);
    }
    for (QPushButton* b : {Button13, Button14, Button15, Button16})
        b->setEnabled(enabled);
}

void TControlPanelForm::setFrequencyEnabled(bool enabled) {
    Label8->setEnabled(enabled);
    ControlPanelFreq->setEnabled(enabled);
    TrackBar1->setEnabled(enabled);
}

void TControlPanelForm::setTrackBarMaximum(int maximum) {
    const QSignalBlocker block(TrackBar1); // a clamped position is not a user's move
    TrackBar1->setMaximum(std::max(1, maximum));
}

void TControlPanelForm::setFrequencyText(const QString& text) {
    ControlPanelFreq->setText(text);
}

void TControlPanelForm::setRealFrequencyText(const QString& text) {
    realFreq->setText(text);
}

void TControlPanelForm::showWithFrequency(const QString& freqText) {
    // A fraction shows its whole part on the track bar.
    const auto v = parseNumber(freqText.toStdString(), link_.sep);
    {
        const QSignalBlocker block(TrackBar1);
        TrackBar1->setValue(v ? static_cast<int>(std::trunc(*v)) : TrackBar1->minimum());
    }
    ControlPanelFreq->setText(freqText);
    show();
    raise();
}

OutputFlags TControlPanelForm::ticked() const {
    OutputFlags t{};
    for (int k = 0; k < kOutputCount; ++k)
        t[k] = rowBox[k]->isChecked();
    return t;
}

void TControlPanelForm::sendRunMask(std::uint8_t mask) {
    if (link_.sendRunMask)
        link_.sendRunMask(mask);
}

void TControlPanelForm::showPlaying(std::uint8_t mask) {
    for (int k = 0; k < kOutputCount; ++k)
        playing[k]->setText(mask & (1u << k) ? "playing" : "");
}

void TControlPanelForm::ControlPanelFreqChange() {
    if (!link_.sendFrequency || !link_.mainFreq)
        return;
    const DeviceSettings* settings = link_.settings ? link_.settings() : nullptr;
    PanelFrequencyState state{link_.mainFreq(), ControlPanelFreq->text().toStdString(),
                              ControlPanelFreq->isEnabled(), settings != nullptr,
                              link_.maxFrequency()};
    long double value = 0;
    if (!panelFrequencyIsSent(state, link_.sep, &value))
        return;
    {
        const QSignalBlocker block(TrackBar1);
        TrackBar1->setValue(static_cast<int>(std::trunc(value)));
    }
    link_.setMainFreq(state.panelFreq);
    link_.sendFrequency(static_cast<double>(value));
}

void TControlPanelForm::closeEvent(QCloseEvent* event) {
    emit closed();
    QWidget::closeEvent(event);
}

} // namespace ombrix
