// Graph views and the calculation thread as the main window drives them.
#include "app/ombrix.h"
#include "calcrequests.h"
#include "gui/charts/chartmenu.h"
#include "gui/charts/chartview.h"
#include "gui/dialogs/equedit.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <algorithm>
#include <memory>

namespace ombrix {
namespace {

class GraphViewsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        w = std::make_unique<TOmbrix>();
        w->setMessageHandler([this](const QString& text, const QString& caption) {
            messages.push_back((caption + ": " + text).toStdString());
        });
        w->calculation().finishCalculation();
    }
    void saveShot(QWidget* widget, const char* name) {
        const QByteArray dir = qgetenv("OMBRIX_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            widget->grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
    }
    ChartView* chart(int k) { return w->output(k).chart; }
    ChartView* all() { return w->general().ChartAll; }
    QString status() { return w->statusPanel(3)->text(); }

    std::unique_ptr<TOmbrix> w;
    std::vector<std::string> messages;
};

TEST_F(GraphViewsTest, StartUpRunFillsEveryOutputChartAndShowsOutputOneOnGeneral) {
    EXPECT_EQ(status(), "Samples calculated");
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(chart(k)->pointCount(0), 1000) << k;
        EXPECT_EQ(all()->pointCount(k), 1000) << "General shares the output's points";
        EXPECT_EQ(all()->isSeriesActive(k), k == 0);
        EXPECT_EQ(w->calculation().samples(k).size(), 1000u);
    }
}

TEST_F(GraphViewsTest, ActiveOutputsAreShownAfterACompleteRun) {
    w->general().activeBox[2]->click();
    w->general().activeBox[4]->click();
    w->calculation().finishCalculation();
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(all()->isSeriesActive(k), k == 0 || k == 2 || k == 4) << k;
}

TEST_F(GraphViewsTest, SingleOutputRequestLeavesTheOtherSeriesAlone) {
    w->output(1).amplitude[0]->setText("2");
    w->output(1).en[0]->click(); // recalculates output 2 only
    // While the run lasts the "General" chart shows nothing.
    for (int k = 0; k < 6; ++k)
        EXPECT_FALSE(all()->isSeriesActive(k));
    w->calculation().finishCalculation();
    EXPECT_NEAR(chart(1)->pointY(0, 250), 2.0, 1e-12);
    EXPECT_EQ(chart(0)->pointCount(0), 1000);
    EXPECT_TRUE(all()->isSeriesActive(0));
}

TEST_F(GraphViewsTest, SpectrumViewTurnsStairsOffAndFormTurnsThemOn) {
    ChartMenu* m = w->chartMenu();
    m->Point->trigger();
    EXPECT_TRUE(chart(3)->pointsVisible(0));
    m->Stairs->trigger(); // the user turns stairs off in the form view
    EXPECT_FALSE(all()->stairs(5));
    m->Stairs->trigger();

    m->FFTamplitude1->trigger();
    w->calculation().finishCalculation();
    EXPECT_FALSE(m->Stairs->isChecked());
    EXPECT_FALSE(chart(0)->stairs(0));
    EXPECT_FALSE(w->actions().sendAllButton->isEnabled());
    EXPECT_EQ(chart(0)->pointCount(0), 72);               // lines up to 35 kHz at 1 MHz / 2048
    EXPECT_EQ(w->calculation().samples(0).size(), 1000u); // the samples survive the spectrum view
    saveShot(w.get(), "spectrum");

    m->Stairs->trigger(); // off -> on by hand
    m->Form1->trigger();
    w->calculation().finishCalculation();
    EXPECT_TRUE(m->Stairs->isChecked());
    EXPECT_TRUE(chart(0)->stairs(0) && all()->stairs(3));
    EXPECT_EQ(chart(0)->pointCount(0), 1000);
    EXPECT_FALSE(w->actions().sendAllButton->isEnabled()); // not connected: "Send all" stays off
}

TEST_F(GraphViewsTest, WindowChoiceRecalculatesOnlyInSpectrumViewsSizeAlways) {
    ChartMenu* m = w->chartMenu();
    testkit::CalcRequests requests(w->calculation());
    m->windows[4]->trigger(); // "&Blackman"
    EXPECT_TRUE(requests.list.empty());
    EXPECT_EQ(m->windowCode(), 2);
    m->sizes[0]->trigger(); // "128"
    EXPECT_EQ(requests.list.size(), 1u);
    EXPECT_EQ(m->fftSize(), 128);
    m->FFTphase1->trigger();
    m->windows[2]->trigger(); // "&Hanning"
    EXPECT_EQ(requests.list.size(), 3u);
    EXPECT_EQ(m->windowCode(), 3);
    w->calculation().finishCalculation();
    EXPECT_EQ(chart(0)->pointCount(0), 5); // 1 MHz / 128 = 7812.5 Hz per line: lines 0..4
}

TEST_F(GraphViewsTest, ZoomInAndOutScaleTheSpan) {
    ChartView* c = chart(0);
    auto span = [c] {
        const auto r = c->keyRange();
        return r[1] - r[0];
    };
    const double before = span();
    w->chartMenu()->Zoomin1->trigger();
    EXPECT_NEAR(span(), before * 0.8, 1e-9);
    w->chartMenu()->Fitgraph1->trigger();
    EXPECT_NEAR(span(), before, 1e-9);
    w->chartMenu()->Zoomout1->trigger();
    EXPECT_NEAR(span(), before * 1.2, 1e-9);
}

// What a chart shows is what its data says: drawing it afresh changes nothing on screen.
bool showsItsData(ChartView* c) {
    const QImage shown = c->grab().toImage();
    c->plot()->replot();
    return shown == c->grab().toImage();
}

TEST_F(GraphViewsTest, AFailedEquationIsClearedAtOnceAndHoldsNoOtherOutputHostage) {
    w->show();
    w->general().activeBox[2]->click();
    OutputPage& o = w->output(2);
    w->pages()->setCurrentIndex(3);
    o.formItems[2]->click();
    o.equation->setPlainText("1/(x-x)");
    w->calculation().CalculateForms(0, 5);
    w->calculation().finishCalculation();
    EXPECT_EQ(messages, std::vector<std::string>{"Error: Divide by zero"});
    EXPECT_EQ(status(), "Samples not calculated");
    EXPECT_EQ(chart(2)->pointCount(0), 0);
    EXPECT_TRUE(w->calculation().samples(2).empty());
    EXPECT_TRUE(showsItsData(chart(2)));
    EXPECT_TRUE(showsItsData(all()));
    for (int k : {0, 1, 3, 4, 5})
        EXPECT_EQ(w->calculation().samples(k).size(), 1000u)
            << "output " << k + 1 << " is computed all the same";
    EXPECT_TRUE(all()->isSeriesActive(0));
    EXPECT_FALSE(all()->isSeriesActive(2));

    // Edits elsewhere are neither blocked nor answered with the failure again.
    messages.clear();
    for (int k : {0, 5}) {
        w->output(k).pulse[0]->setText("5");
        w->output(k).formItems[1]->click();
    }
    w->calculation().finishCalculation();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(status(), "Samples calculated");
    for (int k : {0, 5}) { // half the period at A2
        const std::vector<double>& v = w->calculation().samples(k);
        EXPECT_EQ(std::count(v.begin(), v.end(), 5.0), 500) << k;
    }
    EXPECT_TRUE(w->calculation().samples(2).empty());
    EXPECT_FALSE(all()->isSeriesActive(2));

    // Its own change brings it back.
    o.formItems[1]->click();
    w->calculation().finishCalculation();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(w->calculation().samples(2).size(), 1000u);
    EXPECT_TRUE(all()->isSeriesActive(2));
    EXPECT_TRUE(showsItsData(chart(2)));
}

TEST_F(GraphViewsTest, SixOutputsOfEveryKindOnTheGeneralChart) {
    GeneralPage& g = w->general();
    for (int k = 1; k < 6; ++k)
        g.activeBox[k]->click();
    for (int k : {0, 1}) {
        OutputPage& o = w->output(k);
        o.amplitude[0]->setText(k == 0 ? "3" : "2");
        o.en[0]->click();
        o.amplitude[2]->setText("1");
        o.en[2]->click();
    }
    w->output(1).phase[2]->setText("90");
    for (int k : {2, 3}) {
        OutputPage& o = w->output(k);
        o.formItems[1]->click();
        o.pulse[0]->setText(k == 2 ? "4" : "-2");
        o.pulse[1]->setText(k == 2 ? "-1" : "1");
        o.pulse[2]->setText("20");
        o.pulse[3]->setText("10");
        o.pulse[4]->setText("40");
        o.pulse[5]->setText("30");
    }
    w->output(4).formItems[2]->click();
    w->output(4).equation->setPlainText("2*sin(x)*cos(5*x)");
    w->output(5).formItems[2]->click();
    w->output(5).equation->setPlainText("x/3-1");
    w->general().Ph_Disp[3]->setText("90");
    w->calculation().CalculateForms(0, 5);
    w->calculation().finishCalculation();
    EXPECT_EQ(status(), "Samples calculated");
    for (int k = 0; k < 6; ++k) {
        EXPECT_TRUE(all()->isSeriesActive(k));
        EXPECT_EQ(all()->pointCount(k), 1000);
    }
    EXPECT_NEAR(w->calculation().samples(2)[0], -1.0, 1e-12);
    w->show();
    w->resize(1000, 600);
    saveShot(w.get(), "all-outputs");
}

TEST_F(GraphViewsTest, EquationEditorStoresTheFormulaAndRecalculatesThatOutputOnly) {
    TEquForm* editor = &w->equationEditor();
    OutputPage& o = w->output(3);
    o.formItems[2]->click();
    w->calculation().finishCalculation();
    testkit::CalcRequests requests(w->calculation());
    // The editor is modal: answer it once it is up.
    QTimer::singleShot(0, editor, [editor] {
        editor->memo()->setPlainText("SIN(\nX)");
        editor->Button29Click();
    });
    o.equationButton->click();
    EXPECT_EQ(o.equation->toPlainText(), "SIN(\nX)");
    EXPECT_EQ(w->document().forms().Outputs[3].Equation, "SIN(\nX)");
    EXPECT_EQ(requests.list, (std::vector<std::pair<int, int>>{{3, 3}}));
    w->calculation().finishCalculation();
    EXPECT_NEAR(chart(3)->pointY(0, 250), 1.0, 1e-12);

    // Cancel stores nothing.
    QTimer::singleShot(0, editor, [editor] {
        editor->memo()->setPlainText("cos(x)");
        editor->Button30Click();
    });
    o.equationButton->click();
    EXPECT_EQ(o.equation->toPlainText(), "SIN(\nX)");
}

} // namespace
} // namespace ombrix
