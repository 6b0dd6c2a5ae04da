#include "gui/dialogs/settingsform.h"

#include "core/model/keyfilters.h"
#include "gui/common/decimalseparator.h"
#include "gui/common/fieldevents.h"
#include "gui/common/textintake.h"
#include "gui/device/serialportlist.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace ombrix {

namespace {

const char* const kCloseFirstText =
    "Please close first the connection with device, before you change connection settings!";
const char* const kDangerText =
    "This value of reference voltage is danger for your D/A converter. Are you sure?";
const char* const kMightNotWorkText = "Generator might work not correctly!!!";
const char* const kTooHighText =
    "Setting value of reference voltage higher as 4096mV isn't possible!";
const char* const kDesignerText = "This option is only for advanced designer!!!\n"
                                  "   Generator might work not correctly!!!\n"
                                  "                 Are you sure?";

QLineEdit* makeEdit(QWidget* parent, const char* name, int value) {
    auto* edit = new QLineEdit(QString::number(value), parent);
    edit->setObjectName(name);
    edit->setFixedWidth(80);
    return edit;
}

} // namespace

TSettingsForm::TSettingsForm(QWidget* parent, PortLister lister) : QDialog(parent) {
    setObjectName("SettingsForm");
    setWindowTitle("Settings");
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    sep_ = systemDecimalSeparator();

    pages_ = new QTabWidget(this);
    pages_->setObjectName("PageControl1");

    auto* communication = new QWidget;
    auto* commForm = new QFormLayout(communication);
    PortSelect_ComboBox = new QComboBox(communication);
    PortSelect_ComboBox->setObjectName("PortSelect_ComboBox");
    PortSelect_ComboBox->setEditable(true); // a port name or path may be typed
    PortSelect_ComboBox->setInsertPolicy(QComboBox::NoInsert);
    PortSelect_ComboBox->setMinimumWidth(140);
    BaudRate_ComboBox = new QComboBox(communication);
    BaudRate_ComboBox->setObjectName("BaudRate_ComboBox");
    for (const char* baud : {"600", "1200", "2400", "4800", "9600", "19200", "38400", "57600"})
        BaudRate_ComboBox->addItem(baud);
    BaudRate_ComboBox->setCurrentIndex(-1);
    commForm->addRow("Select port:", PortSelect_ComboBox);
    commForm->addRow("Baud rate:", BaudRate_ComboBox);
    pages_->addTab(communication, "&Commnuncation");

    auto* advanced = new QWidget;
    auto* advColumn = new QVBoxLayout(advanced);
    auto* reference = new QGroupBox("Reference voltage:", advanced);
    auto* refForm = new QFormLayout(reference);
    VRef1Edit = makeEdit(reference, "VRef1Edit", kDefaultVRefMv);
    VRef2Edit = makeEdit(reference, "VRef2Edit", kDefaultVRefMv);
    refForm->addRow("Vref_1 [mV]:", VRef1Edit);
    refForm->addRow("Vref_2 [mV]:", VRef2Edit);
    auto* quartz = new QGroupBox("ADSP2181 quartz [MHz]:", advanced);
    QuartzEdit = makeEdit(quartz, "QuartzEdit", kDefaultQuartzMHz);
    (new QHBoxLayout(quartz))->addWidget(QuartzEdit);
    auto* instructions = new QGroupBox("Number of instructions:", advanced);
    GenerateTimeEdit = makeEdit(instructions, "GenerateTimeEdit", kDefaultInstructions);
    (new QHBoxLayout(instructions))->addWidget(GenerateTimeEdit);
    advColumn->addWidget(reference);
    advColumn->addWidget(quartz);
    advColumn->addWidget(instructions);
    pages_->addTab(advanced, "&Advanced");

    ButtonOK = new QPushButton("&OK", this);
    ButtonOK->setObjectName("ButtonOK");
    ButtonOK->setDefault(true);
    ButtonCancel = new QPushButton("&Cancel", this);
    ButtonCancel->setObjectName("ButtonCancel");
    ButtonHelp = new QPushButton("&Set default", this);
    ButtonHelp->setObjectName("ButtonHelp");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ButtonOK);
    buttons->addWidget(ButtonCancel);
    buttons->addWidget(ButtonHelp);
    auto* column = new QVBoxLayout(this);
    column->addWidget(pages_);
    column->addLayout(buttons);

    // The texts are the store: every change is written through at once.
    struct Binding {
        QLineEdit* edit;
        std::string DeviceSettings::*field;
    };
    for (const Binding b :
         {Binding{VRef1Edit, &DeviceSettings::VRef1}, Binding{VRef2Edit, &DeviceSettings::VRef2},
          Binding{QuartzEdit, &DeviceSettings::Quartz},
          Binding{GenerateTimeEdit, &DeviceSettings::Instructions}}) {
        connect(b.edit, &QLineEdit::textChanged, this,
                [this, f = b.field](const QString& t) { settings_.*f = t.toStdString(); });
        b.edit->installEventFilter(this);
        filterTextIntake(b.edit, FieldFamily::DeviceSetting, sep_);
    }
    connect(BaudRate_ComboBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        settings_.BaudIndex = index;
        ConnectionSettingsChanged = true;
    });
    connect(PortSelect_ComboBox, &QComboBox::currentIndexChanged, this,
            [this] { ConnectionSettingsChanged = true; });
    connect(PortSelect_ComboBox, &QComboBox::editTextChanged, this,
            [this] { ConnectionSettingsChanged = true; });
    connect(ButtonOK, &QPushButton::clicked, this, &TSettingsForm::ButtonOKClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &TSettingsForm::ButtonCancelClick);
    connect(ButtonHelp, &QPushButton::clicked, this, &TSettingsForm::ButtonHelpClick);

    FormCreate(lister ? lister : PortLister([] { return std::optional(ListSerialPorts()); }));
    settings_.BaudIndex = BaudRate_ComboBox->currentIndex();
    ConnectionSettingsChanged = false;
    setFixedSize(sizeHint());
}

void TSettingsForm::FormCreate(const PortLister& lister) {
    const std::optional<QStringList> ports = lister();
    if (!ports)
        return; // no port listed, no line speed selected
    PortSelect_ComboBox->addItems(*ports);
    PortSelect_ComboBox->setCurrentIndex(ports->isEmpty() ? -1 : 0);
    BaudRate_ComboBox->setCurrentIndex(4); // "9600"
}

int TSettingsForm::showOnPage(int page) {
    pages_->setCurrentIndex(page);
    if (QWidget* owner = parentWidget())
        move(owner->frameGeometry().center() - rect().center());
    return exec();
}

void TSettingsForm::showEvent(QShowEvent* event) {
    ConnectionSettingsChanged = false;
    shownQuartz_ = settings_.Quartz;
    shownInstructions_ = settings_.Instructions;
    QDialog::showEvent(event);
}

void TSettingsForm::done(int result) {
    QDialog::done(result);
    if (settings_.Quartz != shownQuartz_ || settings_.Instructions != shownInstructions_) {
        shownQuartz_ = settings_.Quartz;
        shownInstructions_ = settings_.Instructions;
        emit timingSettingsChanged();
    }
}

bool TSettingsForm::message(const QString& text, const QString& caption, MessageIcon icon,
                            bool question) {
    return showMessageBox(this, MessageRequest{text, caption, icon, question}, messageHook_);
}

void TSettingsForm::ButtonCancelClick() {
    ConnectionSettingsChanged = false;
    reject();
}

void TSettingsForm::ButtonHelpClick() {
    VRef1Edit->setText(QString::number(kDefaultVRefMv));
    VRef2Edit->setText(QString::number(kDefaultVRefMv));
    QuartzEdit->setText(QString::number(kDefaultQuartzMHz));
    GenerateTimeEdit->setText(QString::number(kDefaultInstructions));
}

void TSettingsForm::ButtonOKClick() {
    // Texts that are not whole numbers, and a missing port name, cannot be checked or used:
    // say so and keep the dialog open.
    const QString port = PortSelect_ComboBox->currentText().trimmed();
    if (port.isEmpty()) {
        pages_->setCurrentIndex(0);
        message("Please select or type the serial port to use.", "Settings",
                MessageIcon::Information);
        return;
    }
    struct Field {
        QLineEdit* edit;
        const char* name;
    };
    long values[4] = {};
    const Field fields[] = {{VRef1Edit, "Vref_1 [mV]"},
                            {VRef2Edit, "Vref_2 [mV]"},
                            {QuartzEdit, "ADSP2181 quartz [MHz]"},
                            {GenerateTimeEdit, "Number of instructions"}};
    for (int i = 0; i < 4; ++i) {
        const auto v = wholeNumber(fields[i].edit->text().toStdString());
        if (!v) {
            pages_->setCurrentIndex(1);
            message(QString("%1 must be a whole number.").arg(fields[i].name), "Settings",
                    MessageIcon::Information);
            fields[i].edit->setFocus();
            return;
        }
        values[i] = *v;
    }
    const long vref1 = values[0], vref2 = values[1], quartz = values[2], instr = values[3];

    // Each check may clear the flag, and a later question answered Yes sets it again.
    bool ok = true;
    if (ConnectionSettingsChanged && portOpen_ && portOpen_()) {
        message(kCloseFirstText, "Information", MessageIcon::Information);
        ok = false;
    }
    if (vref1 < 1748 || vref2 < 1748) {
        ok = false;
        if (message(kDangerText, "Confirm", MessageIcon::Warning, true)) {
            message(kMightNotWorkText, "Warning", MessageIcon::Warning);
            ok = true;
        }
    }
    if (vref1 > kMaxVRefMv || vref2 > kMaxVRefMv) {
        message(kTooHighText, "Information", MessageIcon::Information);
        ok = false;
    }
    if (quartz != kDefaultQuartzMHz || instr != kDefaultInstructions) {
        ok = false;
        if (message(kDesignerText, "Warning", MessageIcon::Warning, true)) {
            ok = true;
        } else {
            QuartzEdit->setText(QString::number(kDefaultQuartzMHz));
            GenerateTimeEdit->setText(QString::number(kDefaultInstructions));
        }
    }
    if (!ok)
        return;
    settings_.PortName = port.toStdString();
    if (statusHandler_) {
        statusHandler_(1, "Port: " + port + " " + BaudRate_ComboBox->currentText() + " bps");
        statusHandler_(4, "VRef1: " + VRef1Edit->text() + " mV");
        statusHandler_(5, "VRef2: " + VRef2Edit->text() + " mV");
    }
    accept();
}

bool TSettingsForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        if (auto* edit = qobject_cast<QLineEdit*>(watched))
            return keyPress(edit, static_cast<QKeyEvent*>(event));
    }
    return QDialog::eventFilter(watched, event);
}

bool TSettingsForm::keyPress(QLineEdit* edit, QKeyEvent* key) {
    // Keys are read as the main window's fields read them: a key that types no character
    // (arrows, Delete with its X11 text "\x7f", Ctrl shortcuts) is the edit's own.
    const std::optional<KeyFilterResult> r =
        filterEditKey(edit, FieldFamily::DeviceSetting, key, sep_);
    if (!r)
        return false;
    if (r->focusNext)
        focusNextChild();
    return r->discard;
}

} // namespace ombrix
