// The main window's frame: tool bar, menus, pages, progress bar, status bar and chart menu.
#include "app/ombrix.h"
#include "gui/common/fieldevents.h"

#include "gui/charts/chartmenu.h"
#include "gui/charts/chartview.h"
#include "gui/common/recentforms.h"
#include "gui/common/toolicons.h"
#include "gui/dialogs/aboutform.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace ombrix {

namespace {

// Colours of the "General" chart's series, as 24-bit numbers with the low byte red.
QColor colourFromNumber(unsigned value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

} // namespace

void TOmbrix::buildToolBar() {
    auto* bar = addToolBar("ToolBar1");
    bar->setObjectName("ToolBar1");
    bar->setMovable(false);
    bar->setIconSize(QSize(32, 32));
    struct Button {
        int number;
        const char* caption;
        ToolIcon icon;
        bool enabled;
    };
    const Button buttons[] = {
        {1, "&Send all", ToolIcon::SendAll, false},
        {2, "Stop", ToolIcon::Stop, false},
        {3, "&Connect", ToolIcon::Connect, true},
        {4, "&Disconnect", ToolIcon::Disconnect, false},
        {5, "Control &panel", ToolIcon::ControlPanel, true},
        {7, "&New", ToolIcon::New, true},
        {8, "Sa&ve", ToolIcon::Save, true},
        {9, "&Open", ToolIcon::Open, true},
        {11, "Se&ttings", ToolIcon::Settings, true},
    };
    for (const Button& b : buttons) {
        if (b.number == 7 || b.number == 11)
            bar->addSeparator();
        auto* button = new QToolButton(bar);
        button->setObjectName(QStringLiteral("ToolButton%1").arg(b.number));
        button->setText(b.caption);
        button->setIcon(toolIcon(b.icon));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setMinimumSize(75, 52);
        button->setEnabled(b.enabled);
        bar->addWidget(button);
        toolButtons_[b.number] = button;
        // A tool button takes no focus: the field being typed into is committed first.
        connect(button, &QToolButton::pressed, this, [] { commitFocusedField(); });
    }
    sendDataMenu_ = new QMenu(this);
    sendDataMenu_->setObjectName("PopupMenuSendData");
    for (const char* item :
         {"Send &all", "Send &samples", "Change &frequency", "Change &reference voltage"})
        sendDataMenu_->addAction(item);
    for (QMenu* menu : {sendDataMenu_, static_cast<QMenu*>(chartMenu_)})
        connect(menu, &QMenu::aboutToShow, this, [] { commitFocusedField(); });
    toolButtons_[1]->setMenu(sendDataMenu_);
    toolButtons_[1]->setPopupMode(QToolButton::MenuButtonPopup);
    toolButtons_[11]->setMenu(chartMenu_);
    toolButtons_[11]->setPopupMode(QToolButton::MenuButtonPopup);

    connect(toolButtons_[5], &QToolButton::clicked, this, &TOmbrix::showControlPanel);
    connect(toolButtons_[11], &QToolButton::clicked, this, [this] { openSettings(0); });
}

void TOmbrix::buildMenus() {
    auto add = [this](QMenu* menu, const char* name, const char* caption,
                      const QKeySequence& shortcut = {}) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        a->setShortcut(shortcut);
        // Connected before the command itself: a shortcut acts on the committed field.
        connect(a, &QAction::triggered, this, [] { commitFocusedField(); });
        return a;
    };
    QMenu* file = menuBar()->addMenu("&File");
    add(file, "New1", "&New forms", Qt::Key_F4);
    add(file, "Open1", "&Open saved forms", Qt::Key_F3);
    add(file, "Save1", "&Save forms", Qt::Key_F2)->setEnabled(false);
    add(file, "Saveas1", "S&ave forms as...", Qt::SHIFT | Qt::Key_F2);
    file->addSeparator();
    add(file, "Export1", "Export samples...");
    QMenu* recent = file->addMenu("&Recent forms");
    recent->setObjectName("RecentForms1");
    recent_ = new RecentForms(
        recent, [this](const QString& name) { openFile(name); }, this);
    // Rebuilt on every opening, so that files deleted meanwhile show greyed out.
    connect(file, &QMenu::aboutToShow, recent_, &RecentForms::refresh);
    file->addSeparator();
    QAction* exit = add(file, "Exit1", "E&xit");
    connect(exit, &QAction::triggered, this, &QWidget::close);

    buildEditMenu(menuBar()->addMenu("&Edit"));

    QMenu* view = menuBar()->addMenu("&View");
    QAction* panel = add(view, "ControlPanel1", "&Control Panel", Qt::Key_F8);
    panel->setCheckable(true);
    connect(panel, &QAction::triggered, this, &TOmbrix::toggleControlPanel);
    connect(add(view, "DeviceMonitor1", "Device &monitor"), &QAction::triggered, this,
            [this] { showDeviceWindow(true); });
    connect(add(view, "LineLog1", "&Line log"), &QAction::triggered, this,
            [this] { showDeviceWindow(false); });

    QMenu* setup = menuBar()->addMenu("&Setup");
    QAction* settings = add(setup, "SerialPortSetup1", "&Settings");
    connect(settings, &QAction::triggered, this, [this] { openSettings(0); });
    add(setup, "CheckConnection1", "&Check Connection with device");
    add(setup, "DSPVersion1", "Show &DSP program version");
    add(setup, "ResetDSP1", "&Reset DSP");

    QAction* about = menuBar()->addAction("&About");
    about->setObjectName("About1");
    connect(about, &QAction::triggered, this, [this] {
        if (about_)
            about_->exec();
    });
}

void TOmbrix::buildPages() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    // The pages sit in an area of their own so that they can be docked or left as they are.
    pageArea_ = new QWidget(central);
    column->addWidget(pageArea_, 1);
    pageArea_->installEventFilter(this);
    pages_ = new QTabWidget(pageArea_);
    pages_->setObjectName("PageControl1");
    pages_->tabBar()->setExpanding(false);
    pages_->setUsesScrollButtons(false);

    auto* generalTab = new QWidget;
    general_ = buildGeneralPage(generalTab);
    pages_->addTab(generalTab, "General");
    for (int i = 0; i < kOutputCount; ++i) {
        auto* tab = new QWidget;
        outputs_[i] = buildOutputPage(i, tab);
        pages_->addTab(tab, QStringLiteral("Output %1").arg(i + 1));
    }
    // Headings, then rows 1..10 of every output, then rows 11..20 of every output.
    for (auto& o : outputs_)
        buildHarmonicHeadings(o);
    for (auto& o : outputs_)
        buildHarmonicRows(o, 0, 9);
    for (auto& o : outputs_)
        buildHarmonicRows(o, 10, 19);
    for (auto& o : outputs_) {
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
        outputs_[i].chart->addSeries(QStringLiteral("Output %1").arg(i + 1), Qt::red);
        general_.ChartAll->addSeries(QStringLiteral("Output %1").arg(i + 1),
                                     colourFromNumber(colours[i]));
        general_.ChartAll->shareData(i, *outputs_[i].chart, 0);
        general_.ChartAll->setSeriesActive(i, i == 0);
    }
    for (ChartView* chart : charts())
        connect(chart, &ChartView::menuRequested, this, [this, chart](const QPoint& at) {
            menuChart_ = chart;
            chartMenu_->popup(at);
        });
    pages_->setCurrentIndex(0);
    connect(pages_, &QTabWidget::currentChanged, this, [this] { modified_ = true; });

    progress_ = new QProgressBar(central);
    progress_->setObjectName("COMProgressBar");
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setFixedHeight(16);
    progress_->setTextVisible(false);
    column->addWidget(progress_);
    setCentralWidget(central);
}

void TOmbrix::buildStatusBar() {
    const int widths[] = {80, 120, 100, 125, 90, 50};
    const char* texts[] = {"Disconnected",       "Port: COM1 9600 bps", "",
                           "Samples calculated", "VRef1: 4096 mV",      "VRef2: 4096 mV"};
    for (int k = 0; k < 6; ++k) {
        auto* panel = new QLabel(texts[k]);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(k));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // The widths were laid out for a narrower font: a panel may grow to show its text.
        panel->setMinimumWidth(widths[k]);
        statusBar()->addWidget(panel, k == 5 ? 1 : 0); // the last panel takes what is left
        statusPanels_[k] = panel;
    }
}

void TOmbrix::buildChartMenu() {
    chartMenu_ = new ChartMenu(this);
    ChartMenu* m = chartMenu_;
    connect(m->Point, &QAction::triggered, this, [this](bool on) {
        forEachSeries([on](ChartView* c, int i) { c->setPointsVisible(i, on); });
    });
    connect(m->Stairs, &QAction::triggered, this,
            [this](bool on) { forEachSeries([on](ChartView* c, int i) { c->setStairs(i, on); }); });
    for (QAction* item : {m->Form1, m->FFTamplitude1, m->FFTreal1, m->FFTimag1, m->FFTphase1})
        connect(item, &QAction::triggered, this, [this, item] { viewClick(item); });
    for (QAction* item : m->sizes)
        connect(item, &QAction::triggered, this, [this] { CalculateForms(0, kOutputCount - 1); });
    for (QAction* item : m->windows)
        connect(item, &QAction::triggered, this, [this] {
            // The engine takes the window with the next run; the form view needs none.
            if (chartMenu_->view() != ViewKind::Form)
                CalculateForms(0, kOutputCount - 1);
        });
    connect(m->Zoomin1, &QAction::triggered, this, [this] {
        for (ChartView* c : charts())
            c->zoomPercent(110);
    });
    connect(m->Zoomout1, &QAction::triggered, this, [this] {
        for (ChartView* c : charts())
            c->zoomPercent(90);
    });
    connect(m->MagnitudeDb, &QAction::triggered, this, [this] {
        applyChartKinds();
        if (chartMenu_->view() == ViewKind::Magnitude)
            CalculateForms(0, kOutputCount - 1);
    });
    connect(m->SaveChart, &QAction::triggered, this, [this] { saveChartAs(); });
    connect(m->Fitgraph1, &QAction::triggered, this, [this] {
        for (ChartView* c : charts())
            c->undoZoom();
    });
}

} // namespace ombrix
