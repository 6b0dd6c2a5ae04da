// The main window at its default size (740 x 581) and at 1280 x 1024: every caption on every
// page reads in full, with the font a fresh system has. OMBRIX_SCREENSHOT_DIR, when set,
// receives a picture of each page at each size.
#include "app/ombrix.h"
#include "gui/charts/chartmenu.h"
#include "gui/charts/chartview.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <memory>

namespace ombrix {
namespace {

// Controls on the shown page (and the status bar) whose text does not fit their width, or
// edits squeezed below the height of their text.
std::vector<std::string> cutCaptions(QWidget* root) {
    std::vector<std::string> cut;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->isVisible() || w->width() <= 0)
            continue;
        const QFontMetrics fm(w->font());
        QString text;
        int room = w->contentsRect().width();
        if (auto* label = qobject_cast<QLabel*>(w);
            label && !label->wordWrap() && label->pixmap().isNull()) {
            text = label->text();
            room -= 2 * label->margin() + (label->frameWidth() > 0 ? 2 * label->frameWidth() : 0);
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            text = button->text();
            room = w->width();
            if (!text.isEmpty() && w->sizeHint().width() > w->width())
                cut.push_back(w->metaObject()->className() + std::string(" '") +
                              text.toStdString() + "'");
            continue;
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            if (edit->height() < fm.height() + 2)
                cut.push_back("edit " + edit->accessibleName().toStdString() + " is " +
                              std::to_string(edit->height()) + " px high");
            continue;
        }
        text.remove('&');
        if (!text.isEmpty() && fm.horizontalAdvance(text) > room)
            cut.push_back("'" + text.toStdString() + "'");
    }
    // Captions and fields side by side must not touch: "50 %tF:" reads as one word.
    std::vector<QWidget*> shown;
    for (QWidget* w : root->findChildren<QWidget*>())
        if (w->isVisible() &&
            (qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractButton*>(w) ||
             (qobject_cast<QLabel*>(w) && !qobject_cast<QLabel*>(w)->text().isEmpty() &&
              qobject_cast<QLabel*>(w)->frameShape() == QFrame::NoFrame)))
            shown.push_back(w);
    for (std::size_t i = 0; i < shown.size(); ++i)
        for (std::size_t j = i + 1; j < shown.size(); ++j)
            if (shown[i]->parentWidget() == shown[j]->parentWidget() &&
                shown[i]->geometry().adjusted(-1, 0, 1, 0).intersects(shown[j]->geometry()))
                cut.push_back(shown[i]->objectName().toStdString() + "'" +
                              shown[i]->property("text").toString().toStdString() + "' touches '" +
                              shown[j]->property("text").toString().toStdString() + "'");
    return cut;
}

TEST(LayoutTest, EveryCaptionReadsInFullAtTheDefaultSizeAndLarger) {
    TOmbrix w;
    w.setMessageHandler([](const QString&, const QString&) {});
    w.show();
    const QByteArray dir = qgetenv("OMBRIX_SCREENSHOT_DIR");
    for (const QSize size : {QSize(740, 581), QSize(1280, 1024)}) {
        w.resize(size);
        for (int page = 0; page < w.pages()->count(); ++page) {
            w.pages()->setCurrentIndex(page);
            // Each form of an output page shows other controls.
            for (int form = 0; form < (page == 0 ? 1 : 3); ++form) {
                if (page > 0)
                    w.output(page - 1).formItems[static_cast<std::size_t>(form)]->click();
                w.calculation().finishCalculation();
                QCoreApplication::processEvents();
                SCOPED_TRACE(std::to_string(size.width()) + " page " + std::to_string(page) +
                             " form " + std::to_string(form));
                EXPECT_EQ(cutCaptions(w.pages()->currentWidget()), std::vector<std::string>{});
                EXPECT_EQ(cutCaptions(w.statusBar()), std::vector<std::string>{});
                if (!dir.isEmpty())
                    w.grab().save(QString("%1/page%2-form%3-%4.png")
                                      .arg(QString::fromUtf8(dir))
                                      .arg(page)
                                      .arg(form)
                                      .arg(size.width()));
            }
        }
    }
    // The status bar keeps its six panels whole when the "Limited when sent" note shows.
    w.resize(740, 581);
    w.output(0).formItems[0]->click();
    w.output(0).amplitude[0]->setText("5");
    w.output(0).en[0]->click();
    w.calculation().finishCalculation();
    QCoreApplication::processEvents();
    const auto* note = w.findChild<QLabel*>("LimitsPanel");
    ASSERT_TRUE(note->isVisible());
    EXPECT_EQ(cutCaptions(w.statusBar()), std::vector<std::string>{});
    // Where the window leaves room the note reads in full (it was squeezed to nothing).
    w.resize(1280, 1024);
    QCoreApplication::processEvents();
    EXPECT_EQ(note->text(), note->toolTip());
    EXPECT_EQ(cutCaptions(w.statusBar()), std::vector<std::string>{});
}

// In every chart view, at both sizes, the plot rectangle gets most of the chart: no title,
// legend or axis label squeezes it.
TEST(LayoutTest, EveryChartViewGivesThePlotItsRoom) {
    TOmbrix w;
    w.setMessageHandler([](const QString&, const QString&) {});
    w.show();
    const QByteArray dir = qgetenv("OMBRIX_SCREENSHOT_DIR");
    ChartMenu* m = w.chartMenu();
    const std::pair<const char*, QAction*> views[] = {{"form", m->Form1},
                                                      {"magnitude", m->FFTamplitude1},
                                                      {"real", m->FFTreal1},
                                                      {"imaginary", m->FFTimag1},
                                                      {"phase", m->FFTphase1}};
    for (const QSize size : {QSize(740, 581), QSize(1280, 1024)}) {
        w.resize(size);
        for (const auto& [name, action] : views) {
            action->trigger();
            w.calculation().finishCalculation();
            for (int page : {0, 1}) {
                w.pages()->setCurrentIndex(page);
                QCoreApplication::processEvents();
                QCustomPlot* plot = (page == 0 ? w.general().ChartAll : w.output(0).chart)->plot();
                plot->replot();
                SCOPED_TRACE(std::string(name) + " page " + std::to_string(page) + " at " +
                             std::to_string(size.width()));
                EXPECT_GT(plot->axisRect()->width(), plot->width() * 3 / 4);
                EXPECT_GT(plot->axisRect()->height(), plot->height() * 3 / 5);
                // The key axis labels stand apart: each one's room reaches the next.
                const QFontMetrics fm(plot->xAxis->tickLabelFont());
                const QVector<double> ticks = plot->xAxis->tickVector();
                const QVector<QString> labels = plot->xAxis->tickVectorLabels();
                for (qsizetype i = 1; i < ticks.size(); ++i)
                    EXPECT_GT(
                        plot->xAxis->coordToPixel(ticks[i]) -
                            plot->xAxis->coordToPixel(ticks[i - 1]),
                        (fm.horizontalAdvance(labels[i]) + fm.horizontalAdvance(labels[i - 1])) /
                                2 +
                            fm.averageCharWidth())
                        << labels[i - 1].toStdString() << " / " << labels[i].toStdString();
                if (!dir.isEmpty())
                    w.grab().save(QString("%1/view-%2-page%3-%4.png")
                                      .arg(QString::fromUtf8(dir), name)
                                      .arg(page)
                                      .arg(size.width()));
            }
        }
    }
}

// The read-outs under the frequency and the sweep change with every keystroke. Their new
// texts must not lay the window out again: the tab widget repaints its whole page when it
// is, which made each typed or remote frequency cost a repaint of the left column. A larger
// font still gives the read-out the height of its line.
TEST(LayoutTest, ReadOutsChangeWithoutLayingTheWindowOut) {
    TOmbrix w;
    w.setMessageHandler([](const QString&, const QString&) {});
    w.show();
    w.pages()->setCurrentIndex(0);
    struct LayoutCount : QObject {
        int n = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            n += e->type() == QEvent::LayoutRequest;
            return false;
        }
    } count;
    GeneralPage& g = w.general();
    // A layout request climbs one level of widgets per pass of the event loop.
    const auto settle = [] {
        for (int pass = 0; pass < 8; ++pass)
            QCoreApplication::processEvents();
    };
    const auto type = [&](QLineEdit* edit, const char* text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        g.NumOfSam->setFocus(); // leaving the field commits it
        settle();
    };
    settle(); // the window's first layout
    w.pages()->installEventFilter(&count);
    const QString before = g.realFreq->text();
    type(g.Freq, "12345");
    type(g.Freq, "7");
    EXPECT_NE(g.realFreq->text(), before);
    EXPECT_EQ(count.n, 0) << "a new frequency";
    g.SwapEnabled->click();
    settle();
    count.n = 0;
    type(g.StartFreq, "12345");
    type(g.StopFreq, "5");
    EXPECT_NE(g.realSweep->text(), "");
    EXPECT_EQ(count.n, 0) << "a new sweep";
    EXPECT_EQ(cutCaptions(g.page), std::vector<std::string>{});

    QFont big = g.realFreq->font();
    big.setPointSize(big.pointSize() * 3);
    g.realFreq->setFont(big);
    settle();
    EXPECT_GE(g.realFreq->height(), QFontMetrics(big).height());
}

} // namespace
} // namespace ombrix
