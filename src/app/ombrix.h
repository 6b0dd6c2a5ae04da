// The main window "Ombrix": tool bar, menus, the "General" page and six output pages,
// progress bar and status bar. It owns the forms model and binds it to the controls: every
// control change is written to the model at once, and rules that change the model are
// written back, so controls and model never disagree.
#pragma once

#include "app/generalpage.h"
#include "app/outputpage.h"
#include "app/pagedock.h"
#include "core/model/devicesettings.h"
#include "core/model/exitrules.h"
#include "core/model/formsconfig.h"
#include "core/model/formshistory.h"
#include "core/model/keyfilters.h"

#include <QMainWindow>

#include <functional>

#include <array>
#include <memory>
#include <utility>
#include <vector>

class QAction;
class QKeyEvent;
class QLineEdit;
class QLabel;
class QMenu;
class QProgressBar;
class QTabWidget;
class QToolButton;

namespace ombrix {

class ChartMenu;
class ElidedLabel;
class DeviceController;
class DeviceMonitor;
class LineLogWindow;
struct DeviceBindings;
class ChartView;
class GuiCalcSink;
class TCalcExpress;
class TCalculateFormsThread;
class TSpectrum;
class TControlPanelForm;
class TSettingsForm;
class TEquForm;
class TAboutForm;
class RecentForms;

class TOmbrix : public QMainWindow {
    Q_OBJECT
  public:
    // FormCreate: builds the controls and requests the calculation of all six outputs.
    explicit TOmbrix(QWidget* parent = nullptr);
    ~TOmbrix() override;

    // The other windows, created hidden after the main window in the start-up order.
    void attachWindows(TControlPanelForm* controlPanel, TSettingsForm* settings,
                       TEquForm* equationEditor, TAboutForm* about);

    // The one entry point for recalculating outputs first..last (indexes 0..5).
    void CalculateForms(int first, int last);
    const std::vector<std::pair<int, int>>& calculationRequests() const { return calcRequests_; }
    void clearCalculationRequests() { calcRequests_.clear(); }
    // Waits for the running calculation and delivers what it handed over (tests, shut-down).
    void finishCalculation();
    // Sets the active state of series `index` of the "General" chart, which is redrawn soon
    // (or by the next redraw of any kind when `redraw` is false).
    void ActivateChartSeries(int index, bool active, bool redraw = true);
    // The latest computed period of each output in volts, as published (rotation applied).
    const std::vector<double>& samples(int output) const { return samples_.at(output); }

    ChartMenu* chartMenu() const { return chartMenu_; }
    // ChartAll, then Output_Chart1..Output_Chart6.
    std::array<ChartView*, 7> charts() const;

    const FormsConfig& forms() const { return forms_; }
    char decimalSeparator() const { return sep_; }
    int ActiveCount() const { return activeCount(forms_.General); }
    int MaxSamples() const { return maxSamples(ActiveCount()); }
    bool isModified() const { return modified_; }
    void setModified(bool modified) { modified_ = modified; }
    PageDock pageDock() const { return dock_; }
    long double MaxFrequency() const { return maxFrequency_; }
    int trackBarMaximum() const { return trackBarMax_; }
    bool SampleCountChanged() const { return sampleCountChanged_; }
    void clearSampleCountChanged() { sampleCountChanged_ = false; }
    const std::string& controlPanelFreq() const { return controlPanelFreq_; }
    // The settings dialog's texts (its defaults until the dialog is attached).
    const DeviceSettings& deviceSettings() const;

    // Controls, for the other windows and for tests.
    GeneralPage& general() { return general_; }
    OutputPage& output(int index) { return outputs_.at(index); }
    QTabWidget* pages() const { return pages_; }
    QLabel* statusPanel(int index) const { return statusPanels_.at(index); }
    QProgressBar* progressBar() const { return progress_; }
    QToolButton* toolButton(int number) const; // 1..11 as on the tool bar
    QAction* menuAction(const QString& name) const;

    // Error message boxes go here; a test may catch them instead of a modal box.
    using MessageHandler = std::function<void(const QString& text, const QString& caption)>;
    void setMessageHandler(MessageHandler handler) { messageHandler_ = std::move(handler); }
    void showMessage(const QString& text, const QString& caption);

    // Questions and file dialogs; tests may answer them instead of a modal dialog.
    struct Prompts {
        std::function<bool(const QString& text, const QString& caption)> askYesNo;
        std::function<QString()> openFileName;   // empty: cancelled
        std::function<QString()> saveFileName;   // empty: cancelled
        std::function<QString()> exportFileName; // empty: cancelled
        std::function<QString()> chartFileName;  // empty: cancelled
    };
    void setPrompts(Prompts prompts) { prompts_ = std::move(prompts); }

    // The forms settings file (ombrixfile.cpp).
    void NewSample();
    void Open();
    // Open once a name is chosen (the dialog, the command line, a recent file): the forms
    // stay as they were, with a message, when the file cannot be read or is not a forms file.
    bool openFile(const QString& name);
    // A file dropped on the window: the save question if the forms are modified, then openFile.
    void openDroppedFile(const QString& name);
    RecentForms* recentForms() const { return recent_; }
    bool Save();
    void SaveAs();
    void SaveIfPossible();
    // Writes the latest period of every active output as CSV, or WAV for a ".wav" name.
    bool ExportSamples(const QString& name);
    const QString& currentFileName() const { return fileName_; }
    // Puts forms into the controls in the file's order, running each value's change rules.
    void applyForms(const FormsConfig& f);

    DeviceController* device() const { return device_.get(); }
    // The controls and data the device link works with.
    DeviceBindings deviceBindings();
    // Replaces the device link (owned by the window); tests give one with their own port.
    void setDevice(std::unique_ptr<DeviceController> device);
    // View menu: what the device holds, and every frame on the line (made with the device link).
    DeviceMonitor* deviceMonitor() const { return monitor_.get(); }
    LineLogWindow* lineLog() const { return lineLog_.get(); }
    // The status bar's "Device differs: Output 2" (empty while the device matches the forms).
    QLabel* deviceDiffersLabel() const { return deviceDiffers_; }

    // Copy settings into output `target` from the source chosen on its page.
    void copySettingsClick(int target);

    // Undo and redo of committed changes of the forms (ombrixundo.cpp): the forms go back to
    // the state before (after) the change, and the outputs that differ are recalculated.
    void undoForms();
    void redoForms();
    const FormsHistory& formsHistory() const { return history_; }

  signals:
    // A calculation run's results are in the store and the shown chart is drawn.
    void runEnded();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildToolBar();
    void buildMenus();
    void buildPages();
    void buildStatusBar();
    void bindGeneral();
    void bindOutput(OutputPage& o);
    void pushTexts();

    void radioGroupClick(int output, int kind);
    void activeOutputClick(int k);
    void setMaxNumberClick();
    void swapEnabledClick();
    void harmonicEnableClick(int output);
    void upDownClick(bool up);

    // Field rules (ombrixfields.cpp).
    void bindFieldRules();
    bool applyKeyFilter(QLineEdit* edit, FieldFamily family, QKeyEvent* event, int output);
    void applyOutcome(const RuleOutcome& outcome);
    void updateSweepSteps();
    void bindFileCommands();
    bool askYesNo(const QString& text, const QString& caption);
    void offerToSave(); // New's question "Would you like to save this forms?"
    QString askOpenFileName();
    QString askSaveFileName();
    QString askExportFileName();
    void sampleCountChanged();
    void showControlPanel();
    void placeControlPanel();
    void openSettings(int page);
    void toggleControlPanel();
    // Shows the device monitor (`monitor`) or the line log.
    void showDeviceWindow(bool monitor);
    void applyPageDock();
    void buildChartMenu();
    void forEachSeries(const std::function<void(ChartView*, int)>& f);
    void viewClick(QAction* item);
    // Charts (ombrixcharts.cpp): what the view asks of each chart's fit and read-out, and
    // "Save chart as..." for the chart whose menu was opened (or the one shown).
    void applyChartKinds();
    void saveChartAs();
    ChartView* shownChart() const;
    void endOfRun(const std::array<bool, kOutputCount>& active);
    void bindControlPanel();
    // What the device really plays (ombrixplayback.cpp).
    void bindPlayback();
    QString realFrequencyText(const std::string& freqText) const;

  public:
    void refreshRealFrequency();
    // Limit lines and the "Limited when sent" panel; redraws the output charts unless told not.
    void refreshConverterLimits(bool redraw = true);
    ElidedLabel* limitsPanel() const { return limitsPanel_; }

  private:
    void followLinkState();
    int shownOutput() const; // output of the page shown, -1 on "General"
    // A committed change of the forms becomes an undo step (unless the forms are being put
    // into the controls as a whole, or nothing changed); Open passes the file names it
    // switched from and to.
    void formsCommitted(const std::optional<FormsHistory::FileSwitch>& file = std::nullopt);
    void restoreForms(const FormsConfig& state);
    void buildEditMenu(QMenu* edit);
    void refreshUndoActions();

    FormsConfig forms_;
    FormsHistory history_;
    int historyPaused_ = 0; // > 0 while a change is made of several steps of its own
    struct HistoryPause {
        explicit HistoryPause(int& depth) : depth_(depth) { ++depth_; }
        ~HistoryPause() { --depth_; }
        HistoryPause(const HistoryPause&) = delete;
        HistoryPause& operator=(const HistoryPause&) = delete;
        int& depth_;
    };
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    char sep_ = '.';
    bool modified_ = false;
    PageDock dock_ = PageDock::Fill;
    QSize pagesDesignSize_; // the pages' size when they last filled the window
    std::vector<std::pair<int, int>> calcRequests_;
    long double maxFrequency_ = 0;
    int trackBarMax_ = 0;
    bool sampleCountChanged_ = false;
    std::string controlPanelFreq_ = "1000";

    GeneralPage general_;
    std::array<OutputPage, kOutputCount> outputs_;
    QWidget* pageArea_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QProgressBar* progress_ = nullptr;
    std::array<QLabel*, 6> statusPanels_{};
    ElidedLabel* limitsPanel_ = nullptr;
    std::array<QToolButton*, 12> toolButtons_{};
    QMenu* sendDataMenu_ = nullptr;

    std::unique_ptr<TCalcExpress> calc_; // used by the calculation thread only
    std::unique_ptr<TSpectrum> engine_;  // likewise
    std::unique_ptr<GuiCalcSink> sink_;
    std::unique_ptr<TCalculateFormsThread> calcThread_;
    // Outputs whose equation failed and whose inputs have not changed since: they hold no
    // samples and are not calculated again until asked for by name.
    std::array<bool, kOutputCount> failed_{};
    std::array<std::vector<double>, kOutputCount> samples_;
    ChartMenu* chartMenu_ = nullptr;
    ChartView* menuChart_ = nullptr;
    bool controlPanelPlaced_ = false; // the chart whose menu was opened last
    MessageHandler messageHandler_;
    Prompts prompts_;
    QString fileName_;
    RecentForms* recent_ = nullptr;

    std::unique_ptr<DeviceController> device_;
    // Destroyed before the device link whose recorder and state they read.
    std::unique_ptr<DeviceMonitor> monitor_;
    std::unique_ptr<LineLogWindow> lineLog_;
    QLabel* deviceDiffers_ = nullptr;
    TControlPanelForm* controlPanel_ = nullptr;
    TSettingsForm* settings_ = nullptr;
    TEquForm* equationEditor_ = nullptr;
    TAboutForm* about_ = nullptr;
};

} // namespace ombrix
