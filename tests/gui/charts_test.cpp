// The charts as a user reads them: what is drawn is what the data says, the ranges hold the
// data with room, the legend names what is drawn, spectra in dB, the read-out, saving, and
// the control panel opening beside the window.
#include "app/ombrix.h"
#include "core/device/devicecommands.h"
#include "gui/charts/chartmenu.h"
#include "gui/charts/chartview.h"
#include "gui/common/placement.h"
#include "gui/device/controlpanel.h"
#include "gui/device/devicecontroller.h"
#include "gui/dialogs/settingsform.h"
#include "menupicture.h"
#include "simprobe.h"
#include "simwindow.h"
#include "testkit/fakeclock.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <cmath>
#include <memory>

namespace ombrix {
namespace {

class ChartsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        w = std::make_unique<TOmbrix>();
        w->setMessageHandler([this](const QString& t, const QString&) { messages.push_back(t); });
        w->resize(900, 650);
        w->show();
        w->calculation().finishCalculation();
    }
    // What the chart shows is what its data says: drawing it afresh changes nothing on screen.
    static bool showsItsData(ChartView* c) {
        QCoreApplication::processEvents(); // queued redraws land, as they do for the user
        const QImage shown = c->grab().toImage();
        c->plot()->replot();
        return shown == c->grab().toImage();
    }
    void pulse(int k, const char* high, const char* low) {
        OutputPage& o = w->output(k);
        o.pulse[A2]->setText(high);
        o.pulse[A1]->setText(low);
        o.formItems[1]->click();
        w->calculation().CalculateForms(k, k);
        w->calculation().finishCalculation();
    }
    // A picture of the window for the documentation, when OMBRIX_SCREENSHOT_DIR names a folder.
    void saveShot(const char* name) {
        const QByteArray dir = qgetenv("OMBRIX_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            w->grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
    }
    ChartView* chart(int k) { return w->output(k).chart; }
    ChartView* all() { return w->general().ChartAll; }

    std::unique_ptr<TOmbrix> w;
    std::vector<QString> messages;
};

TEST_F(ChartsTest, EveryChangeOfStateIsDrawnAndHiddenChartsCatchUpWhenShown) {
    w->pages()->setCurrentIndex(1);
    pulse(0, "1", "-1");
    EXPECT_TRUE(showsItsData(chart(0)));
    ChartMenu* m = w->chartMenu();
    for (QAction* a : {m->Point, m->Stairs, m->Point, m->Stairs}) {
        a->trigger();
        EXPECT_TRUE(showsItsData(chart(0))) << a->objectName().toStdString();
    }
    // A run redraws the shown chart only; the others are brought up to date when shown.
    pulse(1, "2", "0");
    EXPECT_TRUE(chart(1)->redrawPending());
    EXPECT_FALSE(chart(0)->redrawPending());
    w->pages()->setCurrentIndex(2);
    EXPECT_TRUE(showsItsData(chart(1)));
    EXPECT_FALSE(chart(1)->redrawPending());
}

TEST_F(ChartsTest, ARunRedrawsTheShownChartOnlyAndNotTwiceAtItsEnd) {
    for (int k : {1, 2, 3})
        w->general().activeBox[k]->click();
    w->calculation().finishCalculation();
    QCoreApplication::processEvents();
    std::array<int, 7> replots{};
    int index = 0;
    for (ChartView* c : {all(), chart(0), chart(1), chart(2), chart(3), chart(4), chart(5)})
        QObject::connect(c->plot(), &QCustomPlot::afterReplot,
                         [&replots, i = index++] { ++replots[static_cast<std::size_t>(i)]; });
    QEventLoop loop;
    QObject::connect(&w->calculation(), &Calculation::runEnded, &loop, &QEventLoop::quit);
    QElapsedTimer run;
    run.start();
    w->calculation().CalculateForms(0, kOutputCount - 1);
    loop.exec(); // as in the program: the event loop runs while the worker computes
    const bool quick = run.elapsed() < 50;
    QCoreApplication::processEvents();
    // The shown chart is drawn once when the run ends; it may be drawn blank first only when
    // the run lasts longer than a pause of 50 ms (slow sanitizer builds, a loaded machine,
    // where the pause's timer may or may not get its turn before the end). Hidden charts wait
    // until they are shown.
    EXPECT_GE(replots[0], 1);
    EXPECT_LE(replots[0], quick ? 1 : 2);
    EXPECT_EQ(std::count(replots.begin() + 1, replots.end(), 0), 6);
}

// A state that lasts less than the pause is never drawn; one that lasts longer is, legend
// and all.
TEST(ChartViewTest, ADelayedRedrawIsDroppedWhenTheChartIsDrawnFirst) {
    ChartView chart("Chart", true);
    for (const char* name : {"A", "B"})
        chart.addSeries(name, Qt::blue);
    chart.setSeriesActive(1, true);
    chart.appendPoints(0, {0, 1}, {0, 1});
    chart.resize(400, 300);
    chart.show();
    QCoreApplication::processEvents();
    int replots = 0;
    QObject::connect(chart.plot(), &QCustomPlot::afterReplot, [&replots] { ++replots; });
    auto legend = [&chart] {
        QStringList names;
        for (int i = 0; i < chart.plot()->legend->itemCount(); ++i)
            names << static_cast<QCPPlottableLegendItem*>(chart.plot()->legend->item(i))
                         ->plottable()
                         ->name();
        return names;
    };

    chart.setSeriesActive(0, false, false);
    chart.repaintAfter(30);
    QCoreApplication::processEvents();
    EXPECT_EQ(replots, 0);
    QTest::qWait(80);
    EXPECT_EQ(replots, 1);
    EXPECT_EQ(legend(), QStringList{"B"});

    chart.setSeriesActive(0, true, false);
    chart.repaintAfter(30);
    chart.repaintNow();
    QTest::qWait(80);
    EXPECT_EQ(replots, 2);
    EXPECT_EQ(legend(), (QStringList{"A", "B"}));
}

TEST_F(ChartsTest, RangesHoldEveryLevelWithRoomAndFitRestoresThem) {
    struct Case {
        const char *high, *low;
        double lower, upper; // the value range Fit must give
    };
    for (const Case& c :
         {Case{"1", "-1", -1.1, 1.1}, Case{"0", "0", -2.5, 2.5}, Case{"3", "3", 0.5, 5.5}}) {
        SCOPED_TRACE(std::string(c.high) + "/" + c.low);
        pulse(0, c.high, c.low);
        ChartMenu* m = w->chartMenu();
        for (int i = 0; i < 5; ++i)
            m->Zoomin1->trigger();
        m->Fitgraph1->trigger();
        for (int round = 0; round < 2; ++round) { // a second zoom and fit gives the same
            const auto y = chart(0)->valueRange();
            EXPECT_NEAR(y[0], c.lower, 1e-9);
            EXPECT_NEAR(y[1], c.upper, 1e-9);
            const auto x = chart(0)->keyRange();
            EXPECT_LT(x[0], 0.0);
            EXPECT_GT(x[1], 999.0);
            m->Zoomout1->trigger();
            m->Fitgraph1->trigger();
        }
    }
}

TEST_F(ChartsTest, TheLegendNamesTheDrawnSeriesOnlyAndCoversNoCurve) {
    for (int k : {2, 4})
        w->general().activeBox[k]->click();
    w->calculation().finishCalculation();
    QCustomPlot* plot = all()->plot();
    QStringList names;
    for (int i = 0; i < plot->legend->itemCount(); ++i)
        names << static_cast<QCPPlottableLegendItem*>(plot->legend->item(i))->plottable()->name();
    EXPECT_EQ(names, (QStringList{"Output 1", "Output 3", "Output 5"}));
    EXPECT_FALSE(plot->legend->outerRect().intersects(plot->axisRect()->rect()));

    // Nothing drawn (the only active output holds an empty equation): the plot keeps its width.
    for (int k : {2, 4})
        w->general().activeBox[k]->click();
    w->output(0).formItems[2]->click();
    w->calculation().finishCalculation();
    plot->replot();
    EXPECT_EQ(plot->legend->itemCount(), 0);
    EXPECT_GT(plot->axisRect()->width(), plot->width() * 3 / 4);
}

TEST_F(ChartsTest, SpectraFitTheirLinesShowDecibelsAndDropTheVoltLimits) {
    OutputPage& o = w->output(0);
    o.amplitude[0]->setText("5"); // beyond the converter: limit lines in the form view
    o.en[0]->click();
    w->general().Freq->setText("100");
    w->calculation().CalculateForms(0, 5);
    w->calculation().finishCalculation();
    EXPECT_TRUE(chart(0)->limitLinesVisible());
    ChartMenu* m = w->chartMenu();
    m->FFTamplitude1->trigger();
    w->calculation().finishCalculation();
    EXPECT_FALSE(chart(0)->limitLinesVisible());
    const auto x = chart(0)->keyRange();
    EXPECT_LT(x[0], 0.0);
    EXPECT_GT(x[1], 100.0);
    EXPECT_LT(x[1], 5000.0); // not out to the last line at 35 kHz
    std::vector<double> linear;
    for (int n = 0; n < chart(0)->pointCount(0); ++n)
        linear.push_back(chart(0)->pointY(0, n));

    m->MagnitudeDb->trigger();
    w->pages()->setCurrentIndex(1);
    w->calculation().finishCalculation();
    saveShot("spectrum-db");
    ASSERT_EQ(chart(0)->pointCount(0), static_cast<int>(linear.size()));
    for (int n = 0; n < chart(0)->pointCount(0); ++n) {
        const double expected =
            linear[n] > 0 ? std::max(20 * std::log10(linear[n]), kDecibelFloor) : kDecibelFloor;
        ASSERT_NEAR(chart(0)->pointY(0, n), expected, 1e-9) << n;
    }
    m->Form1->trigger();
    w->calculation().finishCalculation();
    EXPECT_TRUE(chart(0)->limitLinesVisible());
}

TEST_F(ChartsTest, WheelZoomsAboutThePointerAndDraggingStaysWithTheData) {
    w->pages()->setCurrentIndex(1);
    QCustomPlot* plot = chart(0)->plot();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    QCoreApplication::processEvents(); // the user sees the chart painted before turning the wheel
    const QRect area = plot->axisRect()->rect();
    const QPoint at(area.left() + area.width() / 5, area.center().y());
    const double before = plot->xAxis->pixelToCoord(at.x());
    QWheelEvent wheel(at, plot->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &wheel);
    EXPECT_LT(plot->xAxis->range().size(), 1000.0);
    EXPECT_NEAR(plot->xAxis->pixelToCoord(at.x()), before, 1.0);

    QTest::mousePress(plot, Qt::LeftButton, {}, area.center());
    plot->xAxis->setRange(-5000, -4000); // dragged far to the left of the data
    QTest::mouseRelease(plot, Qt::LeftButton, {}, area.center());
    EXPECT_GE(plot->xAxis->range().lower, -60.0);
    EXPECT_NEAR(plot->xAxis->range().size(), 1000.0, 1e-9);
}

TEST_F(ChartsTest, ReadOutNamesTheSampleAndEachDrawnValue) {
    w->pages()->setCurrentIndex(1);
    pulse(0, "2", "-1");
    QCustomPlot* plot = chart(0)->plot();
    for (double key : {100.0, 700.0}) {
        const int x = qRound(plot->xAxis->coordToPixel(key));
        const int n = qRound(plot->xAxis->pixelToCoord(x)); // the sample under that pixel
        EXPECT_EQ(chart(0)->readOutAt(x).toStdString(),
                  "Sample " + std::to_string(n) + "\nOutput 1: " + (n < 500 ? "-1" : "2"));
    }
    const int x = qRound(plot->xAxis->coordToPixel(700));
    QTest::mouseMove(plot, QPoint(x, plot->axisRect()->center().y()));
    EXPECT_TRUE(showsItsData(chart(0)));
    saveShot("read-out");
}

// The right button opens the chart menu, which takes the button's release: whatever closes
// the menu (an item or Escape), hovering the chart shows the read-out again at once.
TEST_F(ChartsTest, ReadOutShowsOnHoverAfterTheChartMenu) {
    w->pages()->setCurrentIndex(1);
    pulse(0, "2", "-1");
    QCustomPlot* plot = chart(0)->plot();
    QApplication::setActiveWindow(w.get());
    plot->replot();
    const QPoint at(qRound(plot->xAxis->coordToPixel(700)), plot->axisRect()->center().y());
    // A move to where the pointer already is (another test's read-out) is no move at all.
    QTest::mouseMove(plot, QPoint(1, 1));
    for (const bool item : {false, true}) {
        SCOPED_TRACE(item ? "item" : "Escape");
        QTest::mouseMove(plot, at);
        ASSERT_TRUE(chart(0)->readOutShown());
        QTest::mousePress(plot, Qt::RightButton, {}, at);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, plot->mapToGlobal(at));
        QApplication::sendEvent(plot, &menuEvent);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        if (item) {
            w->chartMenu()->Fitgraph1->trigger();
            menu->close();
        } else {
            QTest::keyClick(menu, Qt::Key_Escape);
        }
        ASSERT_FALSE(QApplication::activePopupWidget());
        QTest::mouseMove(plot, at + QPoint(10, 0));
        EXPECT_TRUE(chart(0)->readOutShown());
    }
}

TEST_F(ChartsTest, SaveChartAsWritesPngPdfAndSvg) {
    QTemporaryDir dir;
    w->pages()->setCurrentIndex(1);
    const std::pair<const char*, QByteArray> kinds[] = {
        {"chart.png", "\x89PNG"}, {"chart.pdf", "%PDF"}, {"chart.svg", "<?xml"}};
    for (const auto& [name, magic] : kinds) {
        const QString path = dir.filePath(name);
        TOmbrix::Prompts prompts;
        prompts.chartFileName = [path] { return path; };
        w->setPrompts(prompts);
        w->chartMenu()->SaveChart->trigger();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        const QByteArray bytes = file.readAll();
        EXPECT_TRUE(bytes.startsWith(magic)) << name;
        EXPECT_GT(bytes.size(), 1000) << name;
    }
    EXPECT_TRUE(messages.empty());
    TOmbrix::Prompts prompts;
    prompts.chartFileName = [&dir] { return dir.filePath("chart.txt"); };
    w->setPrompts(prompts);
    w->chartMenu()->SaveChart->trigger();
    EXPECT_EQ(messages, std::vector<QString>{"Choose a file name ending in .png, .pdf or .svg."});
}

TEST(Placement, AToolWindowOpensBesideTheMainWindowWhereTheScreenHasRoom) {
    const QRect screen(0, 0, 1920, 1080);
    const QSize tool(400, 300);
    struct Case {
        QRect main;
        QPoint expected;
    };
    for (const Case& c : {
             Case{QRect(100, 100, 740, 581), QPoint(848, 100)},  // right
             Case{QRect(1100, 50, 740, 581), QPoint(692, 50)},   // left
             Case{QRect(0, 0, 1900, 600), QPoint(0, 608)},       // below
             Case{QRect(0, 500, 1900, 500), QPoint(0, 192)},     // above
             Case{QRect(270, 200, 1380, 581), QPoint(270, 780)}, // least covered: its foot
         })
        EXPECT_EQ(besideWindow(c.main, tool, screen,
                               {QRect(c.main.topLeft(), QSize(c.main.width(), 120))}),
                  c.expected)
            << c.main.x();
}

TEST(ControlPanelPlaying, OutputsStartedByTheLastMaskAreMarkedPlaying) {
    testkit::SimulatorWindow sim;
    TOmbrix& w = *sim.w;
    TControlPanelForm* panel = sim.panel;
    w.show();
    sim.connectToSimulator();
    ASSERT_TRUE(sim.sendAll());
    w.actions().controlPanelButton->click(); // "Control panel"
    ASSERT_TRUE(panel->isVisible());
    // Beside the window, or where the screen is too small, clear of its menus and tool bar.
    EXPECT_GE(panel->y(), w.geometry().top() + 100) << panel->x() << "," << panel->y();
    panel->startButton[0]->click();
    testkit::waitForLink(w);
    EXPECT_EQ(panel->playing[0]->text(), "playing");
    EXPECT_EQ(panel->playing[1]->text(), "");
    testkit::saveWindowPicture(&w, {panel}, "control-panel");
    panel->Button16->click(); // all stop
    testkit::waitForLink(w);
    EXPECT_EQ(panel->playing[0]->text(), "");
}

} // namespace
} // namespace ombrix
