// Remote commands on the main window against a user's typing: the same text sent as a command
// and typed into the field (then left with Tab) gives the same forms, modified mark and undo
// step; a text the field's key filter would cut changes nothing; no box is ever shown.
#include "app/ombrix.h"
#include "app/remote/remotecommands.h"
#include "app/remote/remotecontrol.h"
#include "app/remote/remotedialog.h"
#include "app/remote/remoteserver.h"
#include "gui/dialogs/settingsform.h"
#include "typing.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

namespace ombrix {
namespace {

struct Window {
    std::unique_ptr<TOmbrix> w = std::make_unique<TOmbrix>();
    std::shared_ptr<RemoteSession> session = std::make_shared<RemoteSession>();
    int boxes = 0;

    Window() {
        w->setMessageHandler([this](const QString&, const QString&) { ++boxes; });
        w->setPrompts(
            {[this](const QString&, const QString&) { return ++boxes, false; }, {}, {}, {}, {}});
        w->show();
        w->calculation().finishCalculation();
    }
    // Runs the line's commands; the answer of the last one.
    std::string remote(const std::string& line) {
        std::string answer;
        const scpi::ParsedLine parsed = scpi::parseLine(line);
        EXPECT_FALSE(parsed.error) << line;
        for (const scpi::Command& c : parsed.commands)
            answer = w->remote().commands().run(c, session).value_or("");
        w->calculation().finishCalculation();
        return answer;
    }
    void type(int page, QLineEdit* edit, const QString& text) {
        QApplication::setActiveWindow(w.get());
        testkit::typeInto(*w, page, edit, text);
    }
};

struct Case {
    const char* command; // "<header> " + the text typed
    int page;
    std::function<QLineEdit*(TOmbrix&)> field;
    const char* text;
};

TEST(RemoteCommands, ChangeAFieldExactlyAsTypingAndLeavingIt) {
    const Case cases[] = {
        {"FREQ", 0, [](TOmbrix& w) { return w.general().Freq; }, "250.5"},
        {"FREQ", 0, [](TOmbrix& w) { return w.general().Freq; }, "99999999"},      // clamped
        {"SAMP", 0, [](TOmbrix& w) { return w.general().NumOfSam; }, "3"},         // raised to 8
        {"SAMP", 0, [](TOmbrix& w) { return w.general().NumOfSam; }, "9000"},      // clamped
        {"SOUR2:PHAS", 0, [](TOmbrix& w) { return w.general().Ph_Disp[1]; }, "-"}, // repaired
        {"SOUR3:HARM4:AMPL", 3, [](TOmbrix& w) { return w.output(2).amplitude[3]; }, "-1.25"},
        {"SOUR6:OFFS", 6, [](TOmbrix& w) { return w.output(5).offset; }, "0.5"},
        {"SOUR1:PULS:TD1", 1, [](TOmbrix& w) { return w.output(0).pulse[tD1]; }, "120"},
        {"SOUR1:PULS:A1", 1, [](TOmbrix& w) { return w.output(0).pulse[A1]; }, "-3"},
    };
    // One pair of windows takes every case in turn, so each starts from what the one before
    // left, in both.
    Window remote, user;
    for (Window* x : {&remote, &user})
        x->w->output(0).formItems[1]->click(); // output 1 a pulse
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " " + c.text);
        for (Window* x : {&remote, &user}) {
            x->w->pages()->setCurrentIndex(c.page); // which marks the forms modified
            x->w->document().setModified(false);
        }
        remote.remote(std::string(c.command) + " " + c.text);
        user.type(c.page, c.field(*user.w), c.text);

        EXPECT_EQ(remote.remote(std::string(c.command) + "?"),
                  c.field(*user.w)->text().toStdString());
        EXPECT_TRUE(remote.w->document().forms() == user.w->document().forms())
            << "Freq " << remote.w->general().Freq->text().toStdString() << " against "
            << user.w->general().Freq->text().toStdString();
        EXPECT_EQ(remote.w->document().isModified(), user.w->document().isModified());
        EXPECT_EQ(scpi::formatError(remote.session->errors.pop()), "0,\"No error\"");
        // The change is one undo step in both.
        for (Window* x : {&remote, &user})
            x->w->document().undoForms();
        EXPECT_TRUE(remote.w->document().forms() == user.w->document().forms());
        for (Window* x : {&remote, &user})
            x->w->document().redoForms();
    }
    EXPECT_EQ(remote.boxes, 0);
}

TEST(RemoteCommands, ATextTheFieldWouldCutChangesNothing) {
    Window x;
    x.remote("FREQ 250;SOUR2:FUNC PULS");
    x.w->document().setModified(false);
    const FormsConfig before = x.w->document().forms();
    for (const char* line : {"FREQ 1e3", "SAMP 1.5", "SOUR2:PULS:TD1 -5", "SOUR1:HARM1:AMPL 1x",
                             "SOUR4:OFFS 1-", "FREQ 12345678901234567890"}) {
        SCOPED_TRACE(line);
        x.remote(line);
        EXPECT_EQ(x.session->errors.pop().code, scpi::ErrorCode::IllegalParameterValue);
        EXPECT_TRUE(x.w->document().forms() == before);
        EXPECT_FALSE(x.w->document().isModified());
    }
    EXPECT_EQ(x.w->general().Freq->text(), "250");
    EXPECT_EQ(x.boxes, 0);
    // The error shows in the status bar beside the panels, which stay in sight.
    x.w->resize(1280, 1024);
    QApplication::processEvents();
    const auto* message = x.w->findChild<QLabel*>("RemoteMessage");
    ASSERT_TRUE(message);
    EXPECT_TRUE(message->isVisible());
    EXPECT_TRUE(message->text().startsWith("Remote: ")) << message->text().toStdString();
    for (int k = 0; k < 6; ++k)
        EXPECT_TRUE(x.w->statusPanel(k)->isVisible()) << k;
}

TEST(RemoteCommands, AFailedCalculationIsTheClientsErrorNotABox) {
    Window x;
    // Evaluate's check at X = 1 passes; the run fails at X = 0.
    x.remote("SOUR2:FUNC EQU;SOUR2:EQU \"ln(X)\"");
    QApplication::processEvents();
    const scpi::Error e = x.session->errors.pop();
    EXPECT_EQ(e.code, scpi::ErrorCode::ExecutionError);
    EXPECT_FALSE(e.detail.empty());
    EXPECT_EQ(x.remote("TRAC2:DATA?"), "");
    EXPECT_EQ(x.session->errors.pop().code, scpi::ErrorCode::ExecutionError);
    EXPECT_EQ(x.boxes, 0);
}

// A user types into a field and, without leaving it, goes to a terminal and runs a script:
// what the script saves, sends or reads is what the window shows, its rule and recalculation
// applied (an amplitude typed is in the period sent; a frequency typed is clamped).
TEST(RemoteCommands, AFieldTheUserHasNotLeftCountsForWhatLeavesTheWindow) {
    QTemporaryDir dir;
    const std::string store = "MMEM:STOR \"" + dir.filePath("a.set").toStdString() + "\"";
    for (const std::string& line :
         {std::string("FREQ:REAL?"), std::string("TRAC1:DATA?"), std::string("DEV:SEND"), store}) {
        SCOPED_TRACE(line);
        Window x;
        x.w->output(0).en[0]->click();
        x.w->calculation().finishCalculation();
        const bool frequency = line == "FREQ:REAL?";
        QLineEdit* field = frequency ? x.w->general().Freq : x.w->output(0).amplitude[0];
        QApplication::setActiveWindow(x.w.get());
        testkit::typeInto(*x.w, frequency ? 0 : 1, field, frequency ? "99999999" : "2",
                          testkit::Leave::No);
        QWidget terminal;
        terminal.show();
        QApplication::setActiveWindow(&terminal);
        const std::string answer = x.remote(line);
        if (frequency) {
            EXPECT_NE(field->text(), "99999999"); // clamped to what the device can play
            EXPECT_NE(answer, "");
        } else {
            const std::vector<double>& period = x.w->calculation().samples(0);
            ASSERT_FALSE(period.empty());
            EXPECT_NEAR(*std::max_element(period.begin(), period.end()), 2.0, 0.01);
        }
        EXPECT_EQ(x.w->document().forms().General.Freq, x.w->general().Freq->text().toStdString());
    }
}

// While the Settings dialog is open its fields may hold half-typed values: device commands,
// which read them, are refused until it is closed; queries are answered.
TEST(RemoteCommands, DeviceCommandsWaitForTheSettingsDialogToClose) {
    Window x;
    x.w->settingsForm().show();
    for (const char* line : {"DEV:PORT \"Simulator\"", "DEV:CONN", "DEV:SEND", "OUTP2 ON"}) {
        SCOPED_TRACE(line);
        x.remote(line);
        const scpi::Error e = x.session->errors.pop();
        EXPECT_EQ(e.code, scpi::ErrorCode::ExecutionError);
        EXPECT_NE(e.detail.find("Settings dialog is open"), std::string::npos) << e.detail;
    }
    EXPECT_EQ(x.remote("DEV:STAT?"), "DISC");
    x.w->settingsForm().hide();
    x.remote("DEV:PORT \"Simulator\"");
    EXPECT_EQ(x.session->errors.pop().code, scpi::ErrorCode::None);
}

TEST(RemoteCommands, ResetIsNewFormsWithoutTheQuestionInOneUndoStep) {
    Window x;
    x.remote("FREQ 250;SOUR2:ACT ON;SOUR2:FUNC EQU");
    const FormsConfig changed = x.w->document().forms();
    ASSERT_TRUE(x.w->document().isModified());
    x.remote("*RST");
    EXPECT_EQ(x.boxes, 0); // neither the save question nor any box
    EXPECT_EQ(x.remote("FREQ?;SOUR2:ACT?"), "0");
    EXPECT_EQ(x.w->general().Freq->text(), "1000");
    x.w->document().undoForms();
    EXPECT_TRUE(x.w->document().forms() == changed);
}

// Setup → "Remote control...", as a user goes through it: a port another program holds keeps
// the dialog open with the reason; a free one is listened on and kept; the dialog lists the
// clients and what they sent.
TEST(RemoteDialog, ListensOnTheChosenPortOrSaysWhyNot) {
    Window x;
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost));
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 freePort = probe.serverPort();
    probe.close();
    const auto inDialog = [&](const std::function<void(RemoteDialog&)>& steps) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* d = qobject_cast<RemoteDialog*>(QApplication::activeModalWidget());
            if (d) {
                steps(*d);
                ran = true;
                d->reject(); // still open: closed without a choice
            }
        });
        x.w->actions().remoteControl->trigger();
        EXPECT_TRUE(ran);
    };
    const auto pressOk = [](RemoteDialog& d) {
        for (QPushButton* b : d.findChildren<QPushButton*>())
            if (b->text().remove('&') == "OK")
                b->click();
    };
    inDialog([&](RemoteDialog& d) {
        d.enabled->setChecked(true);
        d.port->setValue(taken.serverPort());
        pressOk(d);
        EXPECT_TRUE(d.isVisible());
        EXPECT_TRUE(d.status->text().startsWith("Could not listen on port"))
            << d.status->text().toStdString();
        d.port->setValue(freePort);
        pressOk(d);
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(x.w->remote().server().port(), freePort);
    EXPECT_EQ(RemoteChoice::load().port, freePort);

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, freePort);
    ASSERT_TRUE(client.waitForConnected(5000));
    client.write("FREQ?\n");
    while (x.w->remote().server().recentCommands().isEmpty())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    inDialog([&](RemoteDialog& d) {
        EXPECT_EQ(d.status->text(), QStringLiteral("Listening on port %1").arg(freePort));
        EXPECT_EQ(d.clients->count(), 1);
        ASSERT_EQ(d.recent->count(), 1);
        EXPECT_TRUE(d.recent->item(0)->text().endsWith("FREQ?"));
    });
}

TEST(RemoteChoice, ComesFromTheCommandLineOrTheUsersSettings) {
    RemoteChoice kept;
    kept.port = 6001;
    kept.otherComputers = true;
    kept.save();
    EXPECT_TRUE(RemoteChoice::load() == kept);

    // "--remote[=PORT]" turns the kept choice on, at PORT when given.
    for (const quint16 port : {quint16{0}, quint16{5025}}) {
        const RemoteChoice got = remoteChoiceFromCommandLine(port);
        EXPECT_TRUE(got.enabled);
        EXPECT_EQ(got.port, port == 0 ? 6001 : port);
        EXPECT_TRUE(got.otherComputers); // as kept
    }
}

} // namespace
} // namespace ombrix
