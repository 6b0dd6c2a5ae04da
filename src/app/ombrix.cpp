#include "app/ombrix.h"

#include "app/calculation.h"
#include "app/chartviews.h"
#include "app/fieldbinding.h"
#include "app/formsdocument.h"
#include "app/playbackreadout.h"
#include "gui/charts/chartmenu.h"
#include "gui/common/appicon.h"
#include "gui/common/decimalseparator.h"
#include "gui/common/fieldevents.h"
#include "gui/common/filedrop.h"
#include "gui/device/controlpanel.h"
#include "gui/dialogs/aboutform.h"
#include "gui/dialogs/equedit.h"

#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>

namespace ombrix {

namespace {

constexpr int kDesignWidth = 740;
constexpr int kDesignHeight = 581;
constexpr int kStatusMessageMs = 20000;

} // namespace

TOmbrix::TOmbrix(LinkSetup link, QWidget* parent) : QMainWindow(parent), prompts_(*this) {
    setWindowTitle("Ombrix");
    setWindowIcon(appIcon());
    // The layout was drawn for a small dialog font (about 11 pixels).
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    sep_ = systemDecimalSeparator();
    chartMenu_ = new ChartMenu(this);
    actions_ = buildMainActions(*this, *chartMenu_);
    pages_ = buildMainPages(*this);
    pages_.pageArea->installEventFilter(this);
    // Settings files dropped anywhere on the window open as if chosen in Open (the other
    // windows, built next, keep their drops).
    new FileDrop(this, [this](const QString& name) { document_->openDroppedFile(name); });

    // The other windows, hidden, in their start-up order.
    controlPanel_ = new TControlPanelForm(this);
    settings_ = new TSettingsForm(this, std::move(link.ports));
    equationEditor_ = new TEquForm(sep_, this);
    about_ = new TAboutForm(this);

    FormsDocument::Hooks hooks{
        [this](const FormsConfig& f) { binding_->applyForms(f); },
        [this](const FormsConfig& f) { binding_->restoreForms(f); },
        [this] { binding_->enableForNewForms(); },
        [this](int first, int last) { calculation_->CalculateForms(first, last); },
        [this] { calculation_->finishCalculation(); },
        [this]() -> const FormsDocument::Samples& { return calculation_->allSamples(); },
        [this](const QString& text) { statusBar()->showMessage(text, kStatusMessageMs); },
        [this] { commitWindowsField(*this); },
        [this] { return closing_; }};
    document_ = std::make_unique<FormsDocument>(
        FormsDocument::Commands{actions_.save, actions_.undo, actions_.redo, actions_.fileMenu,
                                actions_.recentMenu},
        std::move(hooks), prompts_, sep_);
    calculation_ = std::make_unique<Calculation>(*document_, pages_, *chartMenu_, prompts_, sep_);
    binding_ = std::make_unique<FieldBinding>(
        FieldBinding::Controls{pages_, *chartMenu_, *controlPanel_, *settings_, *equationEditor_,
                               [this] { focusNextChild(); }},
        *document_, *calculation_, prompts_, sep_);
    readout_ = std::make_unique<PlaybackReadout>(*document_, *calculation_, *binding_, pages_,
                                                 *chartMenu_, *controlPanel_, *settings_, sep_);
    chartViews_ = std::make_unique<ChartViews>(pages_, *chartMenu_, actions_, *calculation_,
                                               *readout_, prompts_);
    link_ = std::make_unique<DeviceLink>(
        DeviceLink::Window{*this, actions_, pages_, *chartMenu_, *controlPanel_, *settings_, sep_},
        std::move(link), *document_, *calculation_, *binding_, *readout_);
    remote_ = std::make_unique<RemoteControl>(*this);
    connectActions();

    resize(kDesignWidth, kDesignHeight);
    pagesDesignSize_ = pages_.pages->size();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    calculation_->CalculateForms(0, kOutputCount - 1);
    document_->resetHistory(); // the forms at start-up: nothing to undo, not modified
    document_->offerUnsavedForms();
}

TOmbrix::~TOmbrix() {
    remote_.reset(); // no client acts on the window while it closes
    calculation_->stop();
    // FormDestroy: a running transfer is stopped and joined, then the shut-down frames.
    link_->shutdown();
}

void TOmbrix::closeEvent(QCloseEvent* event) {
    // The title bar's close button, Alt+F4 and the end of the desktop session close the
    // window without an action: a field typed into and not yet left is committed first, as
    // File, Exit does, so that the forms kept for the next start hold it.
    commitWindowsField(*this);
    closing_ = true;
    QMainWindow::closeEvent(event);
}

void TOmbrix::connectActions() {
    const MainActions& a = actions_;
    FormsDocument* doc = document_.get();
    connect(a.newForms, &QAction::triggered, this, [this] {
        actions_.save->setEnabled(false);
        document_->NewSample();
    });
    connect(a.newButton, &QToolButton::clicked, doc, &FormsDocument::NewSample);
    connect(a.open, &QAction::triggered, doc, &FormsDocument::Open);
    connect(a.openButton, &QToolButton::clicked, doc, &FormsDocument::Open);
    connect(a.save, &QAction::triggered, doc, &FormsDocument::Save);
    connect(a.saveAs, &QAction::triggered, doc, &FormsDocument::SaveAs);
    connect(a.saveButton, &QToolButton::clicked, doc, &FormsDocument::SaveIfPossible);
    connect(a.exportSamples, &QAction::triggered, doc, &FormsDocument::exportClick);
    connect(a.exit, &QAction::triggered, this, &QWidget::close);
    // Switching pages marks the forms modified.
    connect(pages_.pages, &QTabWidget::currentChanged, doc, [doc] { doc->setModified(true); });

    DeviceLink* link = link_.get();
    connect(a.controlPanelButton, &QToolButton::clicked, link, &DeviceLink::showControlPanel);
    connect(a.controlPanel, &QAction::triggered, link, &DeviceLink::toggleControlPanel);
    connect(a.deviceMonitor, &QAction::triggered, link, [link] { link->showDeviceWindow(true); });
    connect(a.lineLog, &QAction::triggered, link, [link] { link->showDeviceWindow(false); });
    connect(a.settings, &QAction::triggered, link, [link] { link->openSettings(0); });
    connect(a.settingsButton, &QToolButton::clicked, link, [link] { link->openSettings(0); });
    connect(a.remoteControl, &QAction::triggered, remote_.get(), &RemoteControl::openDialog);
    connect(a.about, &QAction::triggered, about_, &QDialog::exec);
}

void TOmbrix::setMessageHandler(MessageHandler handler) {
    prompts_.setMessageHandler(std::move(handler));
}

void TOmbrix::setPrompts(Prompts prompts) {
    prompts_.setAnswers(std::move(prompts));
}

void TOmbrix::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    applyPageDock();
}

bool TOmbrix::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pages_.pageArea && event->type() == QEvent::Resize)
        applyPageDock();
    return QMainWindow::eventFilter(watched, event);
}

void TOmbrix::applyPageDock() {
    QTabWidget* pages = pages_.pages;
    if (!pages)
        return;
    // The outer size: the current client size plus the window frame's margins.
    const QSize outer = size() + (frameGeometry().size() - geometry().size());
    dock_ = pageDockFor(outer.width(), outer.height());
    const QRect area = pages_.pageArea->rect();
    const QSize keep = pagesDesignSize_.isValid() ? pagesDesignSize_ : pages->size();
    switch (dock_) {
    case PageDock::Fill:
        pages->setGeometry(area);
        pagesDesignSize_ = area.size();
        break;
    case PageDock::Left:
        pages->setGeometry(0, 0, keep.width(), area.height());
        break;
    case PageDock::Top:
        pages->setGeometry(0, 0, area.width(), keep.height());
        break;
    case PageDock::None:
        break;
    }
}

} // namespace ombrix
