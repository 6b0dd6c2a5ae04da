// The main window driven as a person drives it, at random: typing into fields and pasting
// random strings into them (Ctrl+V, or the middle button where the platform has a selection),
// then leaving them by Tab, by a page tab or by switching windows, or acting at once with Send
// all; clicking forms, ticks and views, opening files with good and failing equations, and
// Send all to the in-process simulator. After every action the same laws hold:
// - every field shows the text the forms hold, and a text its key filter could have produced
//   by typing;
// - Save then Open gives the same forms;
// - every output's sample store (and its chart, in the form view) is what a direct calculation
//   of those forms gives, and an output whose equation fails holds nothing;
// - after Send all the simulator holds exactly the codes of those samples, the timing words
//   of the frequency and the reference codes, or the transfer was refused naming the failed
//   active output.
//
// OMBRIX_MODEL_ACTIONS sets the number of actions (default 200), OMBRIX_MODEL_SEED the seed
// (`make model-test ACTIONS=2000 SEED=7`).
#include "app/ombrix.h"
#include "calcrequests.h"
#include "core/compute/calcexpress.h"
#include "core/compute/calculationrun.h"
#include "core/compute/spectrum.h"
#include "core/compute/synthesis.h"
#include "core/device/devicecommands.h"
#include "core/device/encodings.h"
#include "core/model/keyfilters.h"
#include "core/model/settingsfile.h"
#include "gui/charts/chartmenu.h"
#include "gui/charts/chartview.h"
#include "gui/common/fieldevents.h"
#include "gui/device/controlpanel.h"
#include "gui/device/devicecontroller.h"
#include "gui/dialogs/settingsform.h"
#include "linkwait.h"
#include "simprobe.h"
#include "simwindow.h"
#include "testkit/fakeclock.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>

namespace ombrix {
namespace {

long environmentNumber(const char* name, long fallback) {
    const char* text = std::getenv(name);
    char* end = nullptr;
    const long v = text ? std::strtol(text, &end, 10) : 0;
    return text && *text && *end == '\0' && v > 0 ? v : fallback;
}

// What a direct run of the forms gives.
class DirectSink final : public CalcSink {
  public:
    void status(const std::string&) override {}
    void clearSeries(int) override {}
    void appendPoints(int, std::vector<double>, std::vector<double>) override {}
    void samples(int output, std::vector<double> values) override {
        published[static_cast<std::size_t>(output)] = std::move(values);
    }
    void failure(const std::string&, const std::string&) override {}
    void completed(const std::array<bool, kOutputCount>&) override {}
    std::array<std::vector<double>, kOutputCount> published;
};

class WindowModelTest : public ::testing::Test, protected testkit::SimulatorWindow {
  protected:
    void SetUp() override {
        w->show();
        QApplication::setActiveWindow(w.get());
        connectToSimulator();
        ASSERT_TRUE(w->link().device().isConnected());
        w->calculation().finishCalculation();
    }

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
    QString number(int low, int high, bool fraction) {
        QString text = QString::number(pick(low, high));
        if (fraction && pick(0, 1))
            text += QChar(w->decimalSeparator()) + QString::number(pick(0, 99));
        return text;
    }

    // Shows the field's page; false (and noted) when nobody could type into the field there.
    bool reach(int page, QLineEdit* field) {
        w->pages()->setCurrentIndex(page);
        if (!field->isVisible() || !field->isEnabled() || field->isReadOnly()) {
            trail += " (not there)";
            return false;
        }
        // A click activates the main window (Send all may have raised the control panel).
        QApplication::setActiveWindow(w.get());
        return true;
    }

    // Clicks into the field on its page, replaces its text by typing, and leaves it.
    void type(int page, QLineEdit* field, const QString& text) {
        if (!reach(page, field))
            return;
        QTest::mouseClick(field, Qt::LeftButton);
        field->setFocus(Qt::MouseFocusReason);
        field->selectAll();
        QTest::keyClicks(field, text);
        trail += " '" + text.toStdString() + "'";
        leave(page, field, pick(0, 2));
    }

    // Leaves the focused field by Tab (0), a page tab (1) or another window and Tab (2).
    void leave(int page, QLineEdit* field, int way) {
        ASSERT_TRUE(field->hasFocus());
        trail += std::string(" ") +
                 std::array{"Tab", "page tab", "window"}[static_cast<std::size_t>(way)];
        switch (way) {
        case 0:
            QTest::keyClick(field, Qt::Key_Tab);
            break;
        case 1: {
            QTabBar* tabs = w->pages()->tabBar();
            const int other = (page + pick(1, 6)) % 7; // the field's own tab would not leave it
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(other).center());
            break;
        }
        default: // to another window and back (which does not leave the field), then Tab
            panel->show();
            QApplication::setActiveWindow(panel);
            QApplication::setActiveWindow(w.get());
            panel->hide();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            break;
        }
    }

    // A string as a clipboard may hold one: digits, letters, signs, separators, "NaN",
    // "1e999", spaces and line ends, and now and then a long one.
    QString clipboardText() {
        static const char* const pieces[] = {
            "0",     "7",  "12", "345678901", "-",  "+", ".",   ",",  "e",    "abc", "NaN",
            "1e999", "-5", " ",  "\n",        "\t", "x", "360", "00", "-0.5", "1,5", "99999999"};
        QString text;
        for (int n = pick(1, 4); n > 0; --n)
            text += pieces[pick(0, static_cast<int>(std::size(pieces)) - 1)];
        if (pick(0, 9) == 0)
            text = text.repeated(pick(10, 300));
        return text;
    }

    // Pastes a random string into the field, by Ctrl+V (over all of its text or at the caret)
    // or by the middle button, then leaves the field, or does not and Send all acts at once.
    void paste(int page, QLineEdit* field) {
        if (!reach(page, field))
            return;
        const QString text = clipboardText();
        QClipboard* clipboard = QGuiApplication::clipboard();
        const bool middle = pick(0, 2) == 0;
        QTest::mouseClick(field, Qt::LeftButton);
        field->setFocus(Qt::MouseFocusReason);
        if (middle) {
            trail += " middle click";
            if (clipboard->supportsSelection())
                clipboard->setText(text, QClipboard::Selection);
            else
                trail += " (no selection here)";
            QTest::mouseClick(field, Qt::MiddleButton, {},
                              QPoint(pick(0, field->width() - 1), field->height() / 2));
        } else {
            trail += " Ctrl+V";
            if (pick(0, 1))
                field->selectAll();
            clipboard->setText(text);
            QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        }
        trail += " '" + text.left(40).toStdString() + (text.size() > 40 ? "...'" : "'");
        const int way = pick(0, 3);
        if (way < 3) {
            leave(page, field, way);
        } else {
            trail += " not left";
            actNow = true;
        }
    }

    void openWithEquation() {
        static const char* const equations[] = {"sin(X)",  "X/3-1", "cos(2*X)+0.5",
                                                "1/(x-x)", "2+",    "ln(X)"};
        FormsConfig f = w->document().forms();
        const int k = pick(0, kOutputCount - 1);
        f.Outputs[static_cast<std::size_t>(k)].Form = FormKind::Equation;
        f.Outputs[static_cast<std::size_t>(k)].Equation = equations[pick(0, 5)];
        const QString name = dir.filePath("model.set");
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const std::vector<unsigned char> bytes = encodeForms(f);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        file.close();
        ASSERT_TRUE(w->document().openFile(name));
        trail += " output " + std::to_string(k + 1) + " " +
                 f.Outputs[static_cast<std::size_t>(k)].Equation;
    }

    void act() {
        const int k = pick(0, kOutputCount - 1);
        const int r = pick(0, 4);
        if (pick(0, 3) == 0) {
            pasteSomewhere(k, r);
        } else {
            actOther(k, r);
        }
        if (pick(0, 9) == 0) {
            trail += ", Send all";
            sendAll = true;
        }
    }

    void pasteSomewhere(int k, int r) {
        OutputPage& o = w->output(k);
        GeneralPage& g = w->general();
        const std::string out = " " + std::to_string(k + 1);
        switch (pick(0, 7)) {
        case 0:
            trail = "paste amplitude" + out;
            paste(k + 1, o.amplitude[static_cast<std::size_t>(r)]);
            break;
        case 1:
            trail = "paste phase" + out;
            paste(k + 1, o.phase[static_cast<std::size_t>(r)]);
            break;
        case 2:
            trail = "paste pulse" + out;
            paste(k + 1, o.pulse[static_cast<std::size_t>(pick(0, kPulseParamCount - 1))]);
            break;
        case 3:
            trail = "paste offset" + out;
            paste(k + 1, o.offset);
            break;
        case 4:
            trail = "paste samples";
            paste(0, g.NumOfSam);
            break;
        case 5:
        case 6:
            trail = "paste frequency";
            paste(0, g.Freq);
            break;
        default:
            trail = "paste phase shift";
            paste(0, g.Ph_Disp[static_cast<std::size_t>(pick(1, 5))]);
            break;
        }
    }

    void actOther(int k, int r) {
        OutputPage& o = w->output(k);
        GeneralPage& g = w->general();
        switch (pick(0, 13)) {
        case 0:
        case 1:
            trail = "amplitude " + std::to_string(k + 1);
            type(k + 1, o.amplitude[static_cast<std::size_t>(r)], number(0, 3, true));
            break;
        case 2:
            trail = "phase " + std::to_string(k + 1);
            type(k + 1, o.phase[static_cast<std::size_t>(r)], number(-90, 400, false));
            break;
        case 3:
            trail = "en " + std::to_string(k + 1);
            w->pages()->setCurrentIndex(k + 1);
            o.en[static_cast<std::size_t>(r)]->click();
            break;
        case 4:
        case 5:
            trail = "pulse " + std::to_string(k + 1);
            type(k + 1, o.pulse[static_cast<std::size_t>(r)],
                 number(r < 2 ? -3 : 0, r < 2 ? 3 : 60, true));
            break;
        case 6:
            trail = "offset " + std::to_string(k + 1);
            type(k + 1, o.offset, number(-1, 1, true));
            break;
        case 7:
            trail = "form " + std::to_string(k + 1);
            w->pages()->setCurrentIndex(k + 1);
            o.formItems[static_cast<std::size_t>(pick(0, 2))]->click();
            break;
        case 8:
            trail = "active";
            w->pages()->setCurrentIndex(0);
            g.activeBox[static_cast<std::size_t>(pick(1, 5))]->click();
            break;
        case 9:
            trail = "samples";
            type(0, g.NumOfSam, number(2, 3000, false));
            break;
        case 10:
            trail = "frequency";
            type(0, g.Freq, number(1, 5000, pick(0, 1) != 0));
            break;
        case 11:
            trail = "phase shift";
            type(0, g.Ph_Disp[static_cast<std::size_t>(pick(1, 5))], number(-360, 360, false));
            break;
        case 12:
            trail = "open";
            openWithEquation();
            break;
        default:
            trail = "view";
            (pick(0, 2) ? w->chartMenu()->Form1 : w->chartMenu()->FFTamplitude1)->trigger();
            break;
        }
    }

    // The window's fields against the forms it holds.
    void checkFields() {
        const FormsConfig& f = w->document().forms();
        const GeneralPage& g = w->general();
        EXPECT_EQ(g.Freq->text().toStdString(), f.General.Freq);
        EXPECT_EQ(g.NumOfSam->text().toStdString(), f.General.NumOfSam);
        for (int k = 1; k < kOutputCount; ++k) {
            EXPECT_EQ(g.Ph_Disp[k]->text().toStdString(), f.General.Ph_Disp[k]) << k;
            EXPECT_EQ(g.activeBox[k]->isChecked(), f.General.Active[k]) << k;
        }
        for (int k = 0; k < kOutputCount; ++k) {
            const OutputPage& o = w->output(k);
            const OutputForm& form = f.Outputs[static_cast<std::size_t>(k)];
            EXPECT_TRUE(o.formItems[static_cast<std::size_t>(form.Form)]->isChecked()) << k;
            EXPECT_EQ(o.offset->text().toStdString(), form.Offset) << k;
            for (int r = 0; r < kHarmonicCount; ++r) {
                const HarmonicRow& h = form.Harmonics[static_cast<std::size_t>(r)];
                EXPECT_EQ(o.amplitude[r]->text().toStdString(), h.Amplitude) << k << "/" << r;
                EXPECT_EQ(o.phase[r]->text().toStdString(), h.Phase) << k << "/" << r;
                EXPECT_EQ(o.en[r]->isChecked(), h.En) << k << "/" << r;
            }
            for (int p = 0; p < kPulseParamCount; ++p)
                EXPECT_EQ(o.pulse[p]->text().toStdString(), form.Pulse[p]) << k << "/" << p;
        }
    }

    // The samples, the charts and a direct calculation of the forms; returns the outcome.
    RunOutcome checkSamples() {
        const CalcSnapshot snap{
            w->document().forms(),     w->decimalSeparator(),        ViewKind::Form,
            w->chartMenu()->fftSize(), w->chartMenu()->windowCode(), {}};
        TCalcExpress calc(w->decimalSeparator());
        TSpectrum engine;
        DirectSink direct;
        std::atomic<bool> stop{false};
        const RunOutcome outcome =
            runCalculation(0, kOutputCount - 1, snap, calc, engine, direct, stop);
        const bool formView = w->chartMenu()->view() == ViewKind::Form;
        for (int k = 0; k < kOutputCount; ++k) {
            const std::vector<double>& held = w->calculation().samples(k);
            const auto& expected = direct.published[static_cast<std::size_t>(k)];
            EXPECT_EQ(held, expected) << "output " << k + 1;
            if (formView) {
                ChartView* chart = w->output(k).chart;
                bool same = chart->pointCount(0) == static_cast<int>(held.size());
                for (int n = 0; same && n < chart->pointCount(0); ++n)
                    same = chart->pointY(0, n) == held[static_cast<std::size_t>(n)];
                EXPECT_TRUE(same) << "chart of output " << k + 1;
            }
        }
        return outcome;
    }

    void checkSendAll(const RunOutcome& outcome) {
        // The spectrum views hold no samples to send: Send all waits for the form view.
        const bool formView = w->chartMenu()->view() == ViewKind::Form;
        ASSERT_EQ(w->actions().sendAllButton->isEnabled(), formView);
        if (!formView)
            return;
        messages.clear();
        QSignalSpy done(&w->link().device(), &DeviceController::transferFinished);
        QTest::mouseClick(w->actions().sendAllButton, Qt::LeftButton);
        ASSERT_TRUE(!w->link().device().transferRunning() || done.wait(20000));
        const FormsConfig& f = w->document().forms();
        // A changed sample count recalculates first, which tells a failed equation again.
        std::vector<std::string> told;
        for (const QString& m : messages)
            if (m != "Divide by zero")
                told.push_back(m.toStdString());
        for (int k = 0; k < kOutputCount; ++k)
            if ((k == 0 || f.General.Active[k]) && outcome[k] == OutputResult::Failed) {
                EXPECT_EQ(told, std::vector<std::string>{
                                    "Samples refused: Output " + std::to_string(k + 1) +
                                    " holds no valid samples (its calculation failed)."});
                return;
            }
        ASSERT_TRUE(told.empty()) << told.front();
        std::string error;
        const auto numbers = readDeviceNumbers(settings->settings(), error);
        ASSERT_TRUE(numbers) << error;
        const QJsonObject state =
            QJsonDocument::fromJson(
                QByteArray::fromStdString(testkit::simulatorStateJson(w->link().device().port())))
                .object();
        const QJsonArray outputs = state["outputs"].toArray();
        for (int k = 0; k < kOutputCount; ++k) {
            if (k > 0 && !f.General.Active[k])
                continue;
            const double step =
                sampleStep(static_cast<double>(k < 2 ? numbers->vref1 : numbers->vref2));
            const QJsonArray codes = outputs[k].toObject()["codes"].toArray();
            const std::vector<double>& held = w->calculation().samples(k);
            ASSERT_EQ(codes.size(), static_cast<qsizetype>(held.size())) << "output " << k + 1;
            for (std::size_t j = 0; j < held.size(); ++j)
                ASSERT_EQ(codes[static_cast<qsizetype>(j)].toInt(), sampleCode(held[j], step))
                    << "output " << k + 1 << " sample " << j;
        }
        // A frequency of 0 (the frequency's exit rule keeps it) sends no frequency frame.
        const double freq = numberOr0(f.General.Freq, w->decimalSeparator());
        const TimingResult timing = timingWords(
            freq, numberOr0(f.General.NumOfSam, w->decimalSeparator()),
            static_cast<double>(numbers->quartz), static_cast<double>(numbers->instructions));
        ASSERT_TRUE(timing.ok() || freq == 0);
        const QJsonObject words = state["timing"].toObject();
        if (freq > 0) {
            EXPECT_EQ(words["outer"].toInt(), timing.words.OuterCount);
            EXPECT_EQ(words["inner"].toInt(), timing.words.InnerCount);
            EXPECT_EQ(words["remainder"].toInt(), timing.words.Remainder);
        }
        const QJsonArray references = state["reference_codes"].toArray();
        EXPECT_EQ(references[0].toInt(), referenceCode(static_cast<double>(numbers->vref1)));
        EXPECT_EQ(references[1].toInt(), referenceCode(static_cast<double>(numbers->vref2)));
    }

    // Acts on the forms while the pasted field still has the focus: Send all, or where the
    // view sends nothing, Save as.
    void actWithoutLeaving() {
        if (w->actions().sendAllButton->isEnabled()) {
            trail += ", Send all at once";
            sendAll = true;
            QTest::mouseClick(w->actions().sendAllButton, Qt::LeftButton);
            ASSERT_TRUE(testkit::waitForLink(*w, 20000));
        } else {
            trail += ", Save as at once";
            saveAs();
        }
    }

    // Save as "law.set"; false when Save refused a value that does not fit the file (which
    // six typed characters may not, in the five of a slot): the sound refusal, with a message.
    bool saveAs() {
        const QString name = dir.filePath("law.set");
        QFile::remove(name);
        TOmbrix::Prompts answers;
        answers.saveFileName = [name] { return name; };
        w->setPrompts(answers);
        messages.clear();
        w->actions().saveAs->trigger();
        if (messages.size() == 1 && messages.front().contains("does not fit in a forms settings"))
            return false;
        EXPECT_TRUE(messages.empty()) << "Save: " << messages.front().toStdString();
        return messages.empty();
    }

    // Every field holds a text that typing it into the empty field gives.
    void checkTypable() {
        const char sep = w->decimalSeparator();
        auto check = [sep](const QLineEdit* field, FieldFamily family, const char* name) {
            const QString text = field->text();
            const TypedText typed =
                typeText(family, "", 0, 0, 0, text.toStdU32String(), sep, typingLimit(field));
            EXPECT_EQ(typed.text, text.toStdString()) << name;
        };
        const GeneralPage& g = w->general();
        check(g.Freq, FieldFamily::Frequency, "frequency");
        check(g.NumOfSam, FieldFamily::SampleCount, "samples");
        for (int k = 1; k < kOutputCount; ++k)
            check(g.Ph_Disp[k], FieldFamily::PhaseShift, "phase shift");
        for (int k = 0; k < kOutputCount; ++k) {
            SCOPED_TRACE("output " + std::to_string(k + 1));
            const OutputPage& o = w->output(k);
            for (int r = 0; r < kHarmonicCount; ++r) {
                check(o.amplitude[r], FieldFamily::HarmonicAmplitude, "amplitude");
                check(o.phase[r], FieldFamily::HarmonicPhase, "phase");
            }
            for (int p = 0; p < kPulseParamCount; ++p)
                check(o.pulse[p], p <= A1 ? FieldFamily::PulseLevel : FieldFamily::PulseTime,
                      "pulse");
            check(o.offset, FieldFamily::Offset, "offset");
        }
    }

    // Save then Open gives the forms that were saved: the file reads back, as Open reads it,
    // to exactly the forms.
    void checkSaveThenOpen() {
        if (!saveAs())
            return;
        QFile file(dir.filePath("law.set"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        FormsConfig opened;
        const std::optional<std::string> error =
            decodeForms(std::span(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                  static_cast<std::size_t>(bytes.size())),
                        w->decimalSeparator(), opened);
        ASSERT_FALSE(error) << "Open: " << *error;
        EXPECT_TRUE(opened == w->document().forms()) << "Save then Open changed the forms";
    }

    std::mt19937 rng;
    QTemporaryDir dir;
    std::string trail;
    bool sendAll = false;
    bool actNow = false;
};

TEST_F(WindowModelTest, RandomUseKeepsWindowSamplesAndDeviceInStep) {
    const long actions = environmentNumber("OMBRIX_MODEL_ACTIONS", 200);
    const auto seed = static_cast<unsigned>(environmentNumber("OMBRIX_MODEL_SEED", 20261209));
    std::printf("window model: %ld actions, seed %u\n", actions, seed);
    rng.seed(seed);
    testkit::CalcRequests requests(w->calculation());
    for (long i = 0; i < actions && !HasFatalFailure(); ++i) {
        sendAll = false;
        actNow = false;
        requests.list.clear();
        act();
        if (actNow)
            actWithoutLeaving();
        for (auto [a, b] : requests.list)
            trail += " [" + std::to_string(a) + "," + std::to_string(b) + "]";
        w->calculation().finishCalculation();
        SCOPED_TRACE("action " + std::to_string(i) + ": " + trail);
        checkFields();
        const RunOutcome outcome = checkSamples();
        if (sendAll)
            checkSendAll(outcome);
        checkTypable();
        if (!HasFailure())
            checkSaveThenOpen();
        if (HasFailure())
            break; // the first action that breaks a law is the one to look at
    }
}

} // namespace
} // namespace ombrix
