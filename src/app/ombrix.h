// The main window "Ombrix": tool bar, menus, the "General" page and six output pages,
// progress bar and status bar. It owns the forms model and binds it to the controls: every
// control change is written to the model at once, and rules that change the model are
// written back, so controls and model never disagree.
#pragma once

#include "app/generalpage.h"
#include "app/outputpage.h"
#include "app/pagedock.h"
#include "model/formsconfig.h"

#include <QMainWindow>

#include <array>
#include <utility>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QTabWidget;
class QToolButton;

namespace ombrix {

class TControlPanelForm;
class TSettingsForm;
class TEquForm;
class TAboutForm;

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

    const FormsConfig& forms() const { return forms_; }
    char decimalSeparator() const { return sep_; }
    int ActiveCount() const { return activeCount(forms_.General); }
    int MaxSamples() const { return maxSamples(ActiveCount()); }
    bool isModified() const { return modified_; }
    void setModified(bool modified) { modified_ = modified; }
    PageDock pageDock() const { return dock_; }

    // Controls, for the other windows and for tests.
    GeneralPage& general() { return general_; }
    OutputPage& output(int index) { return outputs_.at(index); }
    QTabWidget* pages() const { return pages_; }
    QLabel* statusPanel(int index) const { return statusPanels_.at(index); }
    QProgressBar* progressBar() const { return progress_; }
    QToolButton* toolButton(int number) const; // 1..11 as on the tool bar
    QAction* menuAction(const QString& name) const;

    // Copy settings into output `target` from the source chosen on its page.
    void copySettingsClick(int target);

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
    void upDownClick(int position);
    void showControlPanel();
    void toggleControlPanel();
    void applyPageDock();
    int shownOutput() const; // output of the page shown, -1 on "General"

    FormsConfig forms_;
    char sep_ = '.';
    bool modified_ = false;
    PageDock dock_ = PageDock::Fill;
    QSize pagesDesignSize_; // the pages' size when they last filled the window
    std::vector<std::pair<int, int>> calcRequests_;

    GeneralPage general_;
    std::array<OutputPage, kOutputCount> outputs_;
    QWidget* pageArea_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QProgressBar* progress_ = nullptr;
    std::array<QLabel*, 6> statusPanels_{};
    std::array<QToolButton*, 12> toolButtons_{};
    QMenu* sendDataMenu_ = nullptr;

    TControlPanelForm* controlPanel_ = nullptr;
    TSettingsForm* settings_ = nullptr;
    TEquForm* equationEditor_ = nullptr;
    TAboutForm* about_ = nullptr;
};

// The locale's decimal separator as one character ('.' when it is not a single ASCII one).
char systemDecimalSeparator();

} // namespace ombrix
