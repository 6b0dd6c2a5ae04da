#include "app/mainpages.h"

#include "core/model/devicesettings.h"

#include "gui/charts/chartview.h"
#include "gui/common/elidedlabel.h"

#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace ombrix {

namespace {

// Colours of the "General" chart's series, as 24-bit numbers with the low byte red.
QColor colourFromNumber(unsigned value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

void buildPageControl(QWidget* central, QVBoxLayout* column, MainPages& p) {
    // The pages sit in an area of their own so that they can be docked or left as they are.
    p.pageArea = new QWidget(central);
    column->addWidget(p.pageArea, 1);
    p.pages = new QTabWidget(p.pageArea);
    p.pages->setObjectName("PageControl1");
    p.pages->tabBar()->setExpanding(false);
    p.pages->setUsesScrollButtons(false);

    auto* generalTab = new QWidget;
    p.general = buildGeneralPage(generalTab);
    p.pages->addTab(generalTab, "General");
    for (int i = 0; i < kOutputCount; ++i) {
        auto* tab = new QWidget;
        p.outputs[i] = buildOutputPage(i, tab);
        p.pages->addTab(tab, QStringLiteral("Output %1").arg(i + 1));
    }
    // Headings, then rows 1..10 of every output, then rows 11..20 of every output.
    for (auto& o : p.outputs)
        buildHarmonicHeadings(o);
    for (auto& o : p.outputs)
        buildHarmonicRows(o, 0, 9);
    for (auto& o : p.outputs)
        buildHarmonicRows(o, 10, 19);
    for (auto& o : p.outputs) {
        QFont small = o.harmonicsBox->font();
        small.setPixelSize(10);
        for (QObject* child : o.harmonicsBox->children())
            if (auto* w = qobject_cast<QWidget*>(child))
                w->setFont(small);
        // The "Harmonics" box comes first in its panel's tab order.
        QWidget::setTabOrder(o.harmonicsBox, o.formItems[0]);
    }

    // "General" series mirror the output series: same point containers, other colours.
    const unsigned colours[] = {0x0000FF, 0x008000, 16711808, 4227200, 64, 12615935};
    for (int i = 0; i < kOutputCount; ++i) {
        p.outputs[i].chart->addSeries(QStringLiteral("Output %1").arg(i + 1), Qt::red);
        p.general.ChartAll->addSeries(QStringLiteral("Output %1").arg(i + 1),
                                      colourFromNumber(colours[i]));
        p.general.ChartAll->shareData(i, *p.outputs[i].chart, 0);
        p.general.ChartAll->setSeriesActive(i, i == 0);
    }
    p.pages->setCurrentIndex(0);
}

// A status-bar panel: at least its laid-out width, wider when its text needs it, never
// narrower than its text (the notes beside it give way instead).
class StatusPanel : public QLabel {
  public:
    StatusPanel(const QString& text, int width) : QLabel(text), width_(width) {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    }
    QSize sizeHint() const override {
        const QSize hint = QLabel::sizeHint();
        return {std::max(hint.width(), width_), hint.height()};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

  private:
    int width_;
};

void buildStatusBar(QMainWindow& window, MainPages& p) {
    const int widths[] = {80, 120, 100, 125, 90, 50};
    const QString vref = QStringLiteral("VRef%1: %2 mV");
    const QString texts[] = {
        "Disconnected",       "Port: COM1 9600 bps",           "",
        "Samples calculated", vref.arg(1).arg(kDefaultVRefMv), vref.arg(2).arg(kDefaultVRefMv)};
    for (int k = 0; k < 6; ++k) {
        // The widths were laid out for a narrower font: a panel grows to show its text.
        auto* panel = new StatusPanel(texts[k], widths[k]);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(k));
        // What the panels leave goes to the notes at the right (limits, device, remote).
        window.statusBar()->addWidget(panel);
        p.statusPanels[k] = panel;
    }
    // It takes only the room the six panels leave; its whole text is in its tool tip.
    p.limitsPanel = new ElidedLabel(&window);
    p.limitsPanel->setObjectName("LimitsPanel");
    p.limitsPanel->setStyleSheet("color: #b00000");
    p.limitsPanel->hide();
    window.statusBar()->addPermanentWidget(p.limitsPanel);
    p.deviceDiffers = new QLabel(&window);
    p.deviceDiffers->setObjectName("DeviceDiffers");
    p.deviceDiffers->setStyleSheet("color: red");
    window.statusBar()->addPermanentWidget(p.deviceDiffers);
}

} // namespace

std::array<ChartView*, 7> MainPages::charts() const {
    return {general.ChartAll, outputs[0].chart, outputs[1].chart, outputs[2].chart,
            outputs[3].chart, outputs[4].chart, outputs[5].chart};
}

ChartView* MainPages::shownChart() const {
    const int page = pages->currentIndex();
    return page <= 0 ? general.ChartAll : outputs[page - 1].chart;
}

int MainPages::shownOutput() const {
    return pages->currentIndex() - 1;
}

MainPages buildMainPages(QMainWindow& window) {
    MainPages p;
    auto* central = new QWidget(&window);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    buildPageControl(central, column, p);
    p.progress = new QProgressBar(central);
    p.progress->setObjectName("COMProgressBar");
    p.progress->setRange(0, 100);
    p.progress->setValue(0);
    p.progress->setFixedHeight(16);
    p.progress->setTextVisible(false);
    column->addWidget(p.progress);
    window.setCentralWidget(central);
    buildStatusBar(window, p);
    return p;
}

} // namespace ombrix
