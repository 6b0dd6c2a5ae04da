#include "app/ombrix.h"

#include "app/aboutform.h"
#include "app/fieldevents.h"
#include "app/guicalcsink.h"
#include "app/toolicons.h"
#include "app/updown.h"
#include "compute/calcexpress.h"
#include "compute/calculateforms.h"
#include "compute/equedit.h"
#include "device/controlpanel.h"
#include "device/devicecommands.h"
#include "device/devicecontroller.h"
#include "device/runmask.h"
#include "device/settingsform.h"
#include "model/formsrules.h"
#include "model/numbertext.h"
#include "views/chartmenu.h"
#include "views/chartview.h"
#include "views/spectrum.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace ombrix {

namespace {

constexpr int kDesignWidth = 740;
constexpr int kDesignHeight = 581;

// Colours of the "General" chart's series, as 24-bit numbers with the low byte red.
QColor colourFromNumber(unsigned value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

void setTextIfDifferent(QLineEdit* edit, const std::string& text) {
    const QString t = QString::fromStdString(text);
    if (edit->text() != t)
        edit->setText(t);
}

// A combo box that takes no typed text: every key is swallowed, Enter moves the focus on.
void swallowKeys(QComboBox* combo) {
    watchField(
        combo,
        [combo](QKeyEvent* key) {
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
                combo->nextInFocusChain()->setFocus(Qt::TabFocusReason);
            return true;
        },
        nullptr);
}

} // namespace

char systemDecimalSeparator() {
    const QString point = QLocale::system().decimalPoint();
    if (point.size() == 1 && point[0].unicode() < 128)
        return static_cast<char>(point[0].unicode());
    return '.';
}

TOmbrix::TOmbrix(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle("Ombrix");
    // The layout was drawn for a small dialog font (about 11 pixels).
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    sep_ = systemDecimalSeparator();
    calc_ = std::make_unique<TCalcExpress>(sep_);
    engine_ = std::make_unique<TSpectrum>();
    engine_->Size = 2048;
    sink_ = std::make_unique<GuiCalcSink>(GuiCalcSink::Handlers{
        [this](const std::string& t) { statusPanels_[3]->setText(QString::fromStdString(t)); },
        [this](int k) {
            // The store follows the chart: a failed output holds nothing.
            outputs_[k].chart->clearSeries(0);
            samples_[k].clear();
        },
        [this](int k, const std::vector<double>& xs, const std::vector<double>& ys) {
            outputs_[k].chart->appendPoints(0, xs, ys);
        },
        [this](int k, std::vector<double> v) { samples_[k] = std::move(v); },
        [this](const std::string& text, const std::string& caption) {
            showMessage(QString::fromStdString(text), QString::fromStdString(caption));
        },
        [this](const std::array<bool, kOutputCount>& active) { endOfRun(active); }});
    buildChartMenu();
    buildToolBar();
    buildMenus();
    buildPages();
    buildStatusBar();
    bindGeneral();
    for (auto& o : outputs_)
        bindOutput(o);
    bindFieldRules();
    bindFileCommands();
    bindPlayback();
    resize(kDesignWidth, kDesignHeight);
    pagesDesignSize_ = pages_->size();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    CalculateForms(0, kOutputCount - 1);
}

TOmbrix::~TOmbrix() {
    calcThread_.reset(); // stop and join before the engine, evaluator and sink go
    // FormDestroy: a running transfer is stopped and joined, then the shut-down frames.
    if (device_)
        device_->shutdown();
    device_.reset(); // before the widgets it is bound to
}

void TOmbrix::attachWindows(TControlPanelForm* controlPanel, TSettingsForm* settings,
                            TEquForm* equationEditor, TAboutForm* about) {
    controlPanel_ = controlPanel;
    settings_ = settings;
    equationEditor_ = equationEditor;
    about_ = about;
    if (controlPanel_) {
        connect(controlPanel_, &TControlPanelForm::closed, this,
                [this] { menuAction("ControlPanel1")->setChecked(false); });
        connect(controlPanel_->ControlPanelFreq, &QLineEdit::textChanged, this,
                [this](const QString& t) {
                    controlPanelFreq_ = t.toStdString();
                    refreshRealFrequency();
                });
        connect(controlPanel_, &TControlPanelForm::frequencyLeft, this, [this] {
            applyOutcome(ControlPanelFreqExit(controlPanelFreq_, maxFrequency_, sep_));
        });
    }
    if (settings_) {
        // A changed quartz or instruction count moves the frequency limit: recompute it and
        // clamp the frequency fields as a change of the sample count does.
        connect(settings_, &TSettingsForm::timingSettingsChanged, this, [this] {
            sampleCountChanged();
            refreshRealFrequency();
        });
        setDevice(std::make_unique<DeviceController>(deviceBindings()));
    }
}

DeviceBindings TOmbrix::deviceBindings() {
    DeviceBindings b;
    b.sendAll = toolButtons_[1];
    b.stop = toolButtons_[2];
    b.connect = toolButtons_[3];
    b.disconnect = toolButtons_[4];
    const QList<QAction*> items = sendDataMenu_->actions();
    b.sendAllItem = items[0];
    b.sendSamplesItem = items[1];
    b.changeFrequencyItem = items[2];
    b.changeReferenceItem = items[3];
    b.checkConnection = menuAction("CheckConnection1");
    b.dspVersion = menuAction("DSPVersion1");
    b.resetDsp = menuAction("ResetDSP1");
    for (int k = 0; k < 6; ++k)
        b.statusPanels[k] = statusPanels_[k];
    b.progress = progress_;
    b.forms = [this] { return forms_; };
    b.samples = [this] { return samples_; };
    b.formViewSelected = [this] { return chartMenu_->view() == ViewKind::Form; };
    b.recalculate = [this] {
        CalculateForms(0, kOutputCount - 1);
        finishCalculation();
    };
    b.decimalSeparator = sep_;
    b.settings = settings_;
    b.window = this;
    return b;
}

void TOmbrix::setDevice(std::unique_ptr<DeviceController> device) {
    device_ = std::move(device);
    if (!device_)
        return;
    connect(device_.get(), &DeviceController::linkStateChanged, this, &TOmbrix::followLinkState);
    bindControlPanel();
    followLinkState();
}

void TOmbrix::followLinkState() {
    if (!controlPanel_ || !device_)
        return;
    controlPanel_->setButtonsEnabled(device_->panelButtonsEnabled());
    controlPanel_->setFrequencyEnabled(device_->panelFrequencyEnabled());
}

void TOmbrix::bindControlPanel() {
    if (!controlPanel_ || !device_)
        return;
    ControlPanelLink link;
    link.commands = &device_->commands();
    link.active = [this] { return forms_.General.Active; };
    link.mainFreq = [this] { return forms_.General.Freq; };
    link.setMainFreq = [this](const std::string& text) {
        general_.Freq->setText(QString::fromStdString(text));
    };
    link.numOfSam = [this] { return forms_.General.NumOfSam; };
    link.maxFrequency = [this] { return maxFrequency_; };
    link.settings = [this]() -> const DeviceSettings* {
        return settings_ ? &settings_->settings() : nullptr;
    };
    link.sep = sep_;
    controlPanel_->setLink(std::move(link));
    controlPanel_->setTrackBarMaximum(trackBarMax_);
}

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
    }
    sendDataMenu_ = new QMenu(this);
    sendDataMenu_->setObjectName("PopupMenuSendData");
    for (const char* item :
         {"Send &all", "Send &samples", "Change &frequency", "Change &reference voltage"})
        sendDataMenu_->addAction(item);
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
        return a;
    };
    QMenu* file = menuBar()->addMenu("&File");
    add(file, "New1", "&New forms", Qt::Key_F4);
    add(file, "Open1", "&Open saved forms", Qt::Key_F3);
    add(file, "Save1", "&Save forms", Qt::Key_F2)->setEnabled(false);
    add(file, "Saveas1", "S&ave forms as...", Qt::SHIFT | Qt::Key_F2);
    file->addSeparator();
    add(file, "Export1", "Export samples...");
    file->addSeparator();
    QAction* exit = add(file, "Exit1", "E&xit");
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* view = menuBar()->addMenu("&View");
    QAction* panel = add(view, "ControlPanel1", "&Control Panel", Qt::Key_F8);
    panel->setCheckable(true);
    connect(panel, &QAction::triggered, this, &TOmbrix::toggleControlPanel);

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
        connect(chart, &ChartView::menuRequested, this,
                [this](const QPoint& at) { chartMenu_->popup(at); });
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

void TOmbrix::bindGeneral() {
    GeneralSettings& g = forms_.General;
    auto bindText = [](QLineEdit* edit, std::string& field) {
        connect(edit, &QLineEdit::textChanged, edit,
                [&field](const QString& t) { field = t.toStdString(); });
    };
    bindText(general_.Freq, g.Freq);
    bindText(general_.NumOfSam, g.NumOfSam);
    bindText(general_.StartFreq, g.StartFreq);
    bindText(general_.StopFreq, g.StopFreq);
    bindText(general_.Time, g.Time);
    connect(general_.StepComboBox, &QComboBox::currentTextChanged, this,
            [this](const QString& t) { forms_.General.Step = t.toStdString(); });
    for (int k = 1; k < kOutputCount; ++k) {
        bindText(general_.Ph_Disp[k], g.Ph_Disp[k]);
        connect(general_.activeBox[k], &QCheckBox::toggled, this,
                [this, k] { activeOutputClick(k); });
    }
    connect(general_.CheckBox6, &QCheckBox::toggled, this, &TOmbrix::setMaxNumberClick);
    connect(general_.SwapEnabled, &QCheckBox::toggled, this, &TOmbrix::swapEnabledClick);
    connect(general_.SwapCyclic, &QCheckBox::toggled, this, &TOmbrix::swapEnabledClick);
    connect(general_.UpDown1001, &UpDown::clicked, this, [this](int, bool up) { upDownClick(up); });
    connect(general_.advanced, &QPushButton::clicked, this, [this] { openSettings(1); });
}

void TOmbrix::bindOutput(OutputPage& o) {
    const int i = o.index;
    OutputForm& f = forms_.Outputs[i];
    for (int r = 0; r < kHarmonicCount; ++r) {
        HarmonicRow& row = f.Harmonics[r];
        connect(o.amplitude[r], &QLineEdit::textChanged, this,
                [&row](const QString& t) { row.Amplitude = t.toStdString(); });
        connect(o.phase[r], &QLineEdit::textChanged, this,
                [&row](const QString& t) { row.Phase = t.toStdString(); });
        connect(o.en[r], &QCheckBox::toggled, this, [this, &row, i](bool on) {
            row.En = on;
            harmonicEnableClick(i);
        });
    }
    for (int k = 0; k < kPulseParamCount; ++k)
        connect(o.pulse[k], &QLineEdit::textChanged, this,
                [&f, k](const QString& t) { f.Pulse[k] = t.toStdString(); });
    connect(o.offset, &QLineEdit::textChanged, this, [this, &f](const QString& t) {
        f.Offset = t.toStdString();
        modified_ = true; // any change of an offset text, whoever makes it
    });
    connect(o.formButtons, &QButtonGroup::idToggled, this, [this, i](int id, bool checked) {
        if (checked)
            radioGroupClick(i, id);
    });
    connect(o.equation, &QPlainTextEdit::textChanged, this,
            [this, &o, &f] { f.Equation = o.equation->toPlainText().toStdString(); });
    connect(o.equationButton, &QPushButton::clicked, this, [this, &o] {
        if (!equationEditor_)
            return;
        if (equationEditor_->editEquation(o.index, o.equation->toPlainText())) {
            o.equation->setPlainText(equationEditor_->equationText());
            CalculateForms(o.index, o.index);
        }
    });
    connect(o.copyButton, &QPushButton::clicked, this, [this, i] { copySettingsClick(i); });
    connect(o.copySource, &QComboBox::activated, this, [this, i] {
        if (i != 2) // a choice on the page of output 3 does not mark the forms modified
            modified_ = true;
    });
    swallowKeys(o.copySource);
}

void TOmbrix::pushTexts() {
    const GeneralSettings& g = forms_.General;
    if (controlPanel_)
        setTextIfDifferent(controlPanel_->ControlPanelFreq, controlPanelFreq_);
    setTextIfDifferent(general_.Freq, g.Freq);
    setTextIfDifferent(general_.NumOfSam, g.NumOfSam);
    setTextIfDifferent(general_.StartFreq, g.StartFreq);
    setTextIfDifferent(general_.StopFreq, g.StopFreq);
    setTextIfDifferent(general_.Time, g.Time);
    if (general_.StepComboBox->currentText().toStdString() != g.Step)
        general_.StepComboBox->setCurrentText(QString::fromStdString(g.Step));
    for (int k = 1; k < kOutputCount; ++k)
        setTextIfDifferent(general_.Ph_Disp[k], g.Ph_Disp[k]);
    for (auto& o : outputs_) {
        const OutputForm& f = forms_.Outputs[o.index];
        for (int r = 0; r < kHarmonicCount; ++r) {
            setTextIfDifferent(o.amplitude[r], f.Harmonics[r].Amplitude);
            setTextIfDifferent(o.phase[r], f.Harmonics[r].Phase);
        }
        for (int r = 0; r < kHarmonicCount; ++r) {
            // The model already holds the state: no click rule runs for this write-back.
            const QSignalBlocker block(o.en[r]);
            o.en[r]->setChecked(f.Harmonics[r].En);
        }
        for (int k = 0; k < kPulseParamCount; ++k)
            setTextIfDifferent(o.pulse[k], f.Pulse[k]);
        setTextIfDifferent(o.offset, f.Offset);
        const QString equation = QString::fromStdString(f.Equation);
        if (o.equation->toPlainText() != equation)
            o.equation->setPlainText(equation);
    }
}

QToolButton* TOmbrix::toolButton(int number) const {
    return toolButtons_.at(number);
}

QAction* TOmbrix::menuAction(const QString& name) const {
    return findChild<QAction*>(name);
}

int TOmbrix::shownOutput() const {
    return pages_->currentIndex() - 1;
}

void TOmbrix::CalculateForms(int first, int last) {
    calcRequests_.emplace_back(first, last);
    for (int i = 0; i < kOutputCount; ++i)
        ActivateChartSeries(i, false);
    statusPanels_[3]->setText("Samples are calculating");
    if (calcThread_) {
        // A run stopped half-way leaves its outputs cleared or partly drawn: the new run takes
        // them over, so no output is left without its samples by a narrower request.
        const bool completed = calcThread_->finished() && !calcThread_->stopRequested();
        if (!completed) {
            first = std::min(first, calcThread_->FirstOutput);
            last = std::max(last, calcThread_->LastOutput);
        }
        calcThread_.reset(); // asks the running calculation to stop and waits for its end
    }
    sink_->startRun();
    CalcSnapshot snapshot{forms_, sep_, chartMenu_->view(), chartMenu_->fftSize(),
                          chartMenu_->windowCode()};
    calcThread_ = std::make_unique<TCalculateFormsThread>(first, last, std::move(snapshot), *calc_,
                                                          *engine_, *sink_);
}

void TOmbrix::showMessage(const QString& text, const QString& caption) {
    if (messageHandler_)
        messageHandler_(text, caption);
    else
        QMessageBox::critical(this, caption, text);
}

void TOmbrix::finishCalculation() {
    if (calcThread_)
        calcThread_->waitFor();
    sink_->deliver();
}

void TOmbrix::ActivateChartSeries(int index, bool active) {
    general_.ChartAll->setSeriesActive(index, active);
}

std::array<ChartView*, 7> TOmbrix::charts() const {
    return {general_.ChartAll, outputs_[0].chart, outputs_[1].chart, outputs_[2].chart,
            outputs_[3].chart, outputs_[4].chart, outputs_[5].chart};
}

void TOmbrix::endOfRun(const std::array<bool, kOutputCount>& active) {
    ActivateChartSeries(0, true);
    for (int k = 1; k < kOutputCount; ++k)
        ActivateChartSeries(k, active[k]);
    // Fit and set the limit lines first, then draw once: the same final picture with one
    // redraw per chart instead of two or three.
    refreshConverterLimits(false);
    for (ChartView* chart : charts()) {
        chart->undoZoom(false);
        chart->repaintNow();
    }
}

void TOmbrix::forEachSeries(const std::function<void(ChartView*, int)>& f) {
    for (auto& o : outputs_)
        f(o.chart, 0);
    for (int k = 0; k < kOutputCount; ++k)
        f(general_.ChartAll, k);
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
    connect(m->Fitgraph1, &QAction::triggered, this, [this] {
        for (ChartView* c : charts())
            c->undoZoom();
    });
}

void TOmbrix::viewClick(QAction* item) {
    item->setChecked(true);
    const bool form = item == chartMenu_->Form1;
    if (form) {
        if (toolButtons_[4]->isEnabled())
            toolButtons_[1]->setEnabled(true);
    } else {
        toolButtons_[1]->setEnabled(false);
    }
    // The form view draws stairs, the spectrum views lines.
    chartMenu_->Stairs->setChecked(form);
    forEachSeries([form](ChartView* c, int i) { c->setStairs(i, form); });
    CalculateForms(0, kOutputCount - 1);
}

void TOmbrix::radioGroupClick(int output, int kind) {
    OutputPage& o = outputs_[output];
    forms_.Outputs[output].Form = static_cast<FormKind>(kind);
    const FormVisibility v = formVisibility(forms_.Outputs[output].Form);
    o.pulsePanel->setVisible(v.pulsePanel);
    o.pulsePanel->setEnabled(v.pulsePanel);
    o.harmonicsBox->setVisible(v.harmonicsBox);
    o.harmonicsBox->setEnabled(v.harmonicsBox);
    o.equation->setVisible(v.equationMemo);
    o.offset->setEnabled(v.offsetEnabled);
    o.offsetLabel->setEnabled(v.offsetEnabled);
    CalculateForms(output, output);
}

void TOmbrix::activeOutputClick(int k) {
    modified_ = true;
    forms_.General.Active[k] = general_.activeBox[k]->isChecked();
    const RecalcRange range = toggleActiveOutput(forms_.General, k);
    general_.UpDown1001->setRange(1, MaxSamples());
    pushTexts();
    if (range)
        CalculateForms(range->first, range->second);
}

void TOmbrix::setMaxNumberClick() {
    const bool on = general_.CheckBox6->isChecked();
    forms_.General.SetMaxNumber = on;
    general_.NumOfSam->setReadOnly(on);
    general_.UpDown1001->setEnabled(!on);
    const RecalcRange range = setMaxNumber(forms_.General);
    general_.UpDown1001->setRange(1, MaxSamples());
    pushTexts();
    if (range)
        CalculateForms(range->first, range->second);
}

void TOmbrix::swapEnabledClick() {
    GeneralSettings& g = forms_.General;
    g.SwapEnabled = general_.SwapEnabled->isChecked();
    g.SwapCyclic = general_.SwapCyclic->isChecked();
    const bool on = g.SwapEnabled;
    general_.Freq->setEnabled(!on);
    general_.freqLabel->setEnabled(!on);
    for (QWidget* w : std::initializer_list<QWidget*>{
             general_.startFreqLabel, general_.StartFreq, general_.stopFreqLabel, general_.StopFreq,
             general_.stepLabel, general_.StepComboBox, general_.timeLabel, general_.Time,
             general_.SwapCyclic})
        w->setEnabled(on);
    applyOutcome(SwapEnabledClick(g, sep_));
}

void TOmbrix::harmonicEnableClick(int output) {
    CalculateForms(output, output);
}

void TOmbrix::upDownClick(bool up) {
    applyOutcome(UpDown1001Click(forms_.General, up ? 1 : -1));
    general_.UpDown1001->setPosition(parseInteger(forms_.General.NumOfSam).value_or(1));
}

void TOmbrix::copySettingsClick(int target) {
    OutputPage& o = outputs_[target];
    const int item = o.copySource->currentIndex();
    if (item < 0)
        return; // no source chosen yet: nothing to copy
    const int source = o.copySourceOutput(item);
    // The form kind first, through its own rule, then every parameter.
    outputs_[target].formItems[static_cast<int>(forms_.Outputs[source].Form)]->setChecked(true);
    copySettings(forms_, source, target);
    pushTexts();
    CalculateForms(target, target);
}

void TOmbrix::openSettings(int page) {
    if (!settings_)
        return;
    settings_->showOnPage(page);
    // New reference voltages move the converter's limits.
    refreshConverterLimits();
    refreshRealFrequency();
}

void TOmbrix::showControlPanel() {
    if (!controlPanel_)
        return;
    menuAction("ControlPanel1")->setChecked(true);
    controlPanel_->showWithFrequency(general_.Freq->text());
}

void TOmbrix::toggleControlPanel() {
    if (!controlPanel_)
        return;
    // The action has already flipped its tick: follow it.
    if (menuAction("ControlPanel1")->isChecked()) {
        controlPanel_->show(); // the View menu leaves the frequency as it is
        controlPanel_->raise();
    } else
        controlPanel_->hide();
}

void TOmbrix::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    applyPageDock();
}

bool TOmbrix::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pageArea_ && event->type() == QEvent::Resize)
        applyPageDock();
    return QMainWindow::eventFilter(watched, event);
}

void TOmbrix::applyPageDock() {
    if (!pages_)
        return;
    // The outer size: the current client size plus the window frame's margins.
    const QSize outer = size() + (frameGeometry().size() - geometry().size());
    dock_ = pageDockFor(outer.width(), outer.height());
    const QRect area = pageArea_->rect();
    QSize keep = pagesDesignSize_.isValid() ? pagesDesignSize_ : pages_->size();
    switch (dock_) {
    case PageDock::Fill:
        pages_->setGeometry(area);
        pagesDesignSize_ = area.size();
        break;
    case PageDock::Left:
        pages_->setGeometry(0, 0, keep.width(), area.height());
        break;
    case PageDock::Top:
        pages_->setGeometry(0, 0, area.width(), keep.height());
        break;
    case PageDock::None:
        break;
    }
}

} // namespace ombrix
