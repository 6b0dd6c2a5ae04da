// The settings dialog offscreen: its controls and defaults, the OK checks with their
// messages, buttons and order, Cancel, "&Set default", the port list cases and the key filter.
#include "core/device/transfer.h"
#include "gui/dialogs/settingsform.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <memory>
#include <vector>

namespace ombrix {
namespace {

const char* const kDanger =
    "This value of reference voltage is danger for your D/A converter. Are you sure?";
const char* const kDesigner = "This option is only for advanced designer!!!\n"
                              "   Generator might work not correctly!!!\n"
                              "                 Are you sure?";
const char* const kTooHigh = "Setting value of reference voltage higher as 4096mV isn't possible!";
const char* const kCloseFirst =
    "Please close first the connection with device, before you change connection settings!";

class SettingsFormTest : public ::testing::Test {
  protected:
    void SetUp() override { make(QStringList{"ttyS0", "ttyUSB1", "Simulator"}); }

    void make(std::optional<QStringList> ports) {
        form = std::make_unique<TSettingsForm>(nullptr, [ports] { return ports; });
        form->setMessageHook([this](const MessageRequest& r) {
            seen.push_back(r);
            if (!r.question)
                return false;
            const bool yes = !answers.empty() && answers.front();
            if (!answers.empty())
                answers.pop_front();
            return yes;
        });
        form->setPortOpenQuery([this] { return portOpen; });
        form->setStatusHandler([this](int panel, const QString& t) { status[panel] = t; });
    }
    // Shows the dialog (not modal, so the test goes on) and presses OK.
    void showAndOk() {
        form->show();
        form->ButtonOKClick();
    }
    std::vector<QString> texts() const {
        std::vector<QString> t;
        for (const auto& r : seen)
            t.push_back(r.text);
        return t;
    }

    std::unique_ptr<TSettingsForm> form;
    std::vector<MessageRequest> seen;
    std::deque<bool> answers;
    bool portOpen = false;
    std::map<int, QString> status;
};

TEST_F(SettingsFormTest, BuildsWithItsCaptionsDefaultsAndPortList) {
    EXPECT_EQ(form->windowTitle(), "Settings");
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    ASSERT_EQ(form->pages()->count(), 2);
    EXPECT_EQ(form->pages()->tabText(0), "&Commnuncation");
    EXPECT_EQ(form->pages()->tabText(1), "&Advanced");
    EXPECT_EQ(form->PortSelect_ComboBox->count(), 3);
    EXPECT_EQ(form->PortSelect_ComboBox->currentText(), "ttyS0");
    EXPECT_EQ(form->PortSelect_ComboBox->itemText(2), "Simulator");
    EXPECT_TRUE(form->PortSelect_ComboBox->isEditable());
    EXPECT_EQ(form->BaudRate_ComboBox->count(), 8);
    EXPECT_EQ(form->BaudRate_ComboBox->currentText(), "9600");
    EXPECT_EQ(form->settings().BaudIndex, 4);
    EXPECT_EQ(form->VRef1Edit->text(), "4096");
    EXPECT_EQ(form->VRef2Edit->text(), "4096");
    EXPECT_EQ(form->QuartzEdit->text(), "20");
    EXPECT_EQ(form->GenerateTimeEdit->text(), "29");
    EXPECT_EQ(form->ButtonOK->text(), "&OK");
    EXPECT_TRUE(form->ButtonOK->isDefault());
    EXPECT_EQ(form->ButtonCancel->text(), "&Cancel");
    EXPECT_EQ(form->ButtonHelp->text(), "&Set default");
    EXPECT_EQ(form->settings().PortName, "COM1"); // until OK is accepted
}

TEST_F(SettingsFormTest, EmptyOrUnreadablePortList) {
    make(QStringList{});
    EXPECT_EQ(form->PortSelect_ComboBox->currentIndex(), -1);
    EXPECT_EQ(form->BaudRate_ComboBox->currentText(), "9600");
    // OK without a port name: said so, and the dialog stays open.
    showAndOk();
    ASSERT_EQ(seen.size(), 1U);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(status.empty());

    make(std::nullopt);
    EXPECT_EQ(form->PortSelect_ComboBox->count(), 0);
    EXPECT_EQ(form->BaudRate_ComboBox->currentIndex(), -1);
    EXPECT_EQ(form->settings().BaudIndex, -1);
}

TEST_F(SettingsFormTest, AcceptedOkAppliesPortNameAndStatusPanels) {
    form->PortSelect_ComboBox->setEditText("/dev/pts/7"); // a typed path
    form->BaudRate_ComboBox->setCurrentIndex(7);
    form->VRef2Edit->setText("2000");
    QSignalSpy timing(form.get(), &TSettingsForm::timingSettingsChanged);
    showAndOk();
    EXPECT_TRUE(seen.empty());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(form->settings().PortName, "/dev/pts/7");
    EXPECT_EQ(form->settings().BaudIndex, 7);
    EXPECT_EQ(status[1], "Port: /dev/pts/7 57600 bps");
    EXPECT_EQ(status[4], "VRef1: 4096 mV");
    EXPECT_EQ(status[5], "VRef2: 2000 mV");
    EXPECT_EQ(timing.count(), 0);
}

TEST_F(SettingsFormTest, LowReferenceVoltageAsksFrom1747Down) {
    struct Case {
        const char* vref1;
        const char* vref2;
        bool asks;
        bool yes;
        bool accepted;
    };
    const Case cases[] = {
        {"1748", "4096", false, false, true},
        {"1747", "4096", true, false, false},
        {"4096", "1747", true, true, true},
        {"0", "4096", true, true, true},
    };
    for (const Case& c : cases) {
        make(QStringList{"ttyS0"});
        form->VRef1Edit->setText(c.vref1);
        form->VRef2Edit->setText(c.vref2);
        answers = {c.yes};
        showAndOk();
        if (c.asks) {
            ASSERT_FALSE(seen.empty()) << c.vref1;
            EXPECT_EQ(seen[0].text, kDanger);
            EXPECT_TRUE(seen[0].question);
            if (c.yes) {
                EXPECT_EQ(texts(),
                          (std::vector<QString>{kDanger, "Generator might work not correctly!!!"}));
            }
        } else {
            EXPECT_TRUE(seen.empty()) << c.vref1;
        }
        EXPECT_EQ(form->isVisible(), !c.accepted) << c.vref1 << " " << c.vref2;
        form->hide();
        seen.clear();
    }
}

TEST_F(SettingsFormTest, ReferenceAbove4096IsRefusedButIsWhatTheNextTransferUses) {
    form->VRef1Edit->setText("4097");
    showAndOk();
    EXPECT_EQ(texts(), std::vector<QString>{kTooHigh});
    EXPECT_TRUE(form->isVisible());
    form->ButtonCancelClick();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->settings().VRef1, "4097");
    TransferInput in;
    in.settings = form->settings();
    in.samples[0] = {0.0};
    std::string error;
    const auto plan = planTransfer(in, error);
    ASSERT_TRUE(plan.has_value()) << error;
    EXPECT_EQ(plan->reference1, 2 * 4097 - 1);
    // A later designer question answered Yes accepts it after all.
    seen.clear();
    form->QuartzEdit->setText("24");
    answers = {true};
    showAndOk();
    EXPECT_EQ(texts(), (std::vector<QString>{kTooHigh, kDesigner}));
    EXPECT_FALSE(form->isVisible());
}

TEST_F(SettingsFormTest, DesignerQuestionNoRestoresQuartzAndInstructions) {
    form->QuartzEdit->setText("24");
    QSignalSpy timing(form.get(), &TSettingsForm::timingSettingsChanged);
    answers = {false};
    showAndOk();
    ASSERT_EQ(seen.size(), 1U);
    EXPECT_EQ(seen[0].text, kDesigner);
    EXPECT_EQ(seen[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->QuartzEdit->text(), "20");
    EXPECT_EQ(form->GenerateTimeEdit->text(), "29");
    EXPECT_EQ(form->settings().Quartz, "20");

    // Yes keeps the new values; closing with them announces the new timing.
    form->GenerateTimeEdit->setText("31");
    answers = {true};
    form->ButtonOKClick();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->settings().Instructions, "31");
    EXPECT_EQ(timing.count(), 1);
}

TEST_F(SettingsFormTest, ChangingTheBaudRateWhileConnected) {
    portOpen = true;
    form->show();
    form->BaudRate_ComboBox->setCurrentIndex(6);
    form->ButtonOKClick();
    EXPECT_EQ(texts(), std::vector<QString>{kCloseFirst});
    EXPECT_TRUE(form->isVisible());
    form->ButtonCancelClick();
    EXPECT_FALSE(form->ConnectionSettingsChanged);
    EXPECT_EQ(form->BaudRate_ComboBox->currentText(), "38400");
    EXPECT_EQ(form->settings().BaudIndex, 6); // what the next Connect uses
    EXPECT_EQ(form->settings().PortName, "COM1");

    // Shown again, nothing changed: OK passes while connected.
    seen.clear();
    showAndOk();
    EXPECT_TRUE(seen.empty());
    EXPECT_FALSE(form->isVisible());
}

TEST_F(SettingsFormTest, TextsThatAreNotWholeNumbersKeepTheDialogOpen) {
    for (QLineEdit* edit :
         {form->VRef1Edit, form->VRef2Edit, form->QuartzEdit, form->GenerateTimeEdit}) {
        const QString before = edit->text();
        edit->setText(edit == form->GenerateTimeEdit ? "" : "20.5");
        seen.clear();
        showAndOk();
        ASSERT_EQ(seen.size(), 1U) << edit->objectName().toStdString();
        EXPECT_TRUE(seen[0].text.endsWith("must be a whole number."));
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(form->pages()->currentIndex(), 1);
        edit->setText(before);
    }
}

TEST_F(SettingsFormTest, SetDefaultRestoresTheAdvancedFieldsOnly) {
    form->PortSelect_ComboBox->setCurrentIndex(1);
    form->BaudRate_ComboBox->setCurrentIndex(2);
    form->VRef1Edit->setText("3000");
    form->VRef2Edit->setText("1");
    form->QuartzEdit->setText("33");
    form->GenerateTimeEdit->setText("7");
    form->show();
    form->ButtonHelpClick();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->settings().VRef1, "4096");
    EXPECT_EQ(form->settings().VRef2, "4096");
    EXPECT_EQ(form->settings().Quartz, "20");
    EXPECT_EQ(form->settings().Instructions, "29");
    EXPECT_EQ(form->PortSelect_ComboBox->currentText(), "ttyUSB1");
    EXPECT_EQ(form->BaudRate_ComboBox->currentIndex(), 2);
}

TEST_F(SettingsFormTest, KeyFilterOfTheAdvancedFields) {
    form->show();
    const QString sep = QLocale::system().decimalPoint();
    QLineEdit* e = form->VRef1Edit;
    e->setFocus();
    e->clear();
    QTest::keyClicks(e, "a" + sep + "0");
    EXPECT_EQ(e->text(), "0"); // letters and a leading separator are discarded
    QTest::keyClicks(e, "5");
    EXPECT_EQ(e->text(), "5"); // the lone zero gives way
    QTest::keyClicks(e, "0" + sep + "2" + sep);
    EXPECT_EQ(e->text(), "50" + sep + "2"); // a second separator is discarded
    e->clear();
    QTest::keyClick(e, Qt::Key_Return);
    EXPECT_EQ(e->text(), "0");      // Enter on an empty text writes 0 and moves on
    EXPECT_TRUE(form->isVisible()); // Enter did not press OK
    EXPECT_EQ(form->settings().VRef1, "0");
}

TEST_F(SettingsFormTest, DeleteKeyIsTheEditsOwnInEveryAdvancedField) {
    form->show();
    for (QLineEdit* e :
         {form->VRef1Edit, form->VRef2Edit, form->QuartzEdit, form->GenerateTimeEdit}) {
        e->setText("4096");
        e->setFocus();
        e->setCursorPosition(1);
        // The X11 key event of Delete carries the text "\x7f".
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
        QApplication::sendEvent(e, &del);
        EXPECT_EQ(e->text(), "496") << e->objectName().toStdString();
    }
    EXPECT_EQ(form->settings().Instructions, "496");
}

} // namespace
} // namespace ombrix
