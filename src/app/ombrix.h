// The main window "Ombrix": a frame that builds the tool bar, menus, pages and status bar,
// creates the other windows (control panel, settings dialog, equation editor, About box) and
// wires the parts that own the program's state:
//
//   FormsDocument    the forms, their file, the modified mark and the undo history;
//   Calculation      CalculateForms, the calculation thread and the sample stores;
//   FieldBinding     the controls bound to the forms, with their key filters and exit rules;
//   DeviceLink       the device controller, control panel, device monitor and line log;
//   RemoteControl    the SCPI server that lets a lab script drive the window;
//
// and, beside them, what the device really plays (PlaybackReadout) and the chart menu's
// commands (ChartViews).
#pragma once

#include "app/calculation.h"
#include "app/chartviews.h"
#include "app/devicelink.h"
#include "app/fieldbinding.h"
#include "app/formsdocument.h"
#include "app/mainactions.h"
#include "app/mainpages.h"
#include "app/pagedock.h"
#include "app/playbackreadout.h"
#include "app/remote/remotecontrol.h"
#include "app/userprompts.h"

#include <QMainWindow>

#include <memory>

namespace ombrix {

class ChartMenu;
class TAboutForm;
class TControlPanelForm;
class TEquForm;

class TOmbrix : public QMainWindow {
    Q_OBJECT
  public:
    // FormCreate: builds the window, its parts and the other windows (hidden), and requests
    // the calculation of all six outputs. `link` names the device port (the program's own
    // by default).
    explicit TOmbrix(LinkSetup link = {}, QWidget* parent = nullptr);
    // FormDestroy: the calculation is stopped, then the device's shut-down frames.
    ~TOmbrix() override;

    FormsDocument& document() { return *document_; }
    Calculation& calculation() { return *calculation_; }
    FieldBinding& binding() { return *binding_; }
    DeviceLink& link() { return *link_; }
    PlaybackReadout& readout() { return *readout_; }
    ChartViews& chartViews() { return *chartViews_; }
    RemoteControl& remote() { return *remote_; }

    // The frame's own controls.
    const MainActions& actions() const { return actions_; }
    MainPages& mainPages() { return pages_; }
    GeneralPage& general() { return pages_.general; }
    OutputPage& output(int index) { return pages_.outputs.at(index); }
    QTabWidget* pages() const { return pages_.pages; }
    QLabel* statusPanel(int index) const { return pages_.statusPanels.at(index); }
    QProgressBar* progressBar() const { return pages_.progress; }
    ElidedLabel* limitsPanel() const { return pages_.limitsPanel; }
    QLabel* deviceDiffersLabel() const { return pages_.deviceDiffers; }
    std::array<ChartView*, 7> charts() const { return pages_.charts(); }
    ChartMenu* chartMenu() const { return chartMenu_; }
    // The other windows.
    TControlPanelForm& controlPanel() { return *controlPanel_; }
    TSettingsForm& settingsForm() { return *settings_; }
    TEquForm& equationEditor() { return *equationEditor_; }
    TAboutForm& aboutBox() { return *about_; }

    // The locale's decimal separator, read once at creation.
    char decimalSeparator() const { return sep_; }
    // How the pages follow the window's size now.
    PageDock pageDock() const { return dock_; }

    // Error boxes, questions and file dialogs; tests may answer them instead.
    using MessageHandler = UserPrompts::MessageHandler;
    using Prompts = UserPrompts::Answers;
    void setMessageHandler(MessageHandler handler);
    void setPrompts(Prompts prompts);
    UserPrompts& prompts() { return prompts_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void connectActions();
    void applyPageDock();

    char sep_;
    ChartMenu* chartMenu_;
    MainActions actions_;
    bool closing_ = false; // closeEvent came: questions still open were not answered
    MainPages pages_;
    TControlPanelForm* controlPanel_;
    TSettingsForm* settings_;
    TEquForm* equationEditor_;
    TAboutForm* about_;
    UserPrompts prompts_;
    std::unique_ptr<FormsDocument> document_;
    std::unique_ptr<Calculation> calculation_;
    std::unique_ptr<FieldBinding> binding_;
    std::unique_ptr<PlaybackReadout> readout_;
    std::unique_ptr<ChartViews> chartViews_;
    std::unique_ptr<DeviceLink> link_;
    std::unique_ptr<RemoteControl> remote_; // off until the program or the user applies a choice
    PageDock dock_ = PageDock::Fill;
    QSize pagesDesignSize_; // the pages' size when they last filled the window
};

} // namespace ombrix
