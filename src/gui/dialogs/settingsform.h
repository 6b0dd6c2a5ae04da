// The settings dialog "Settings": serial port, line speed, reference voltages, quartz and
// instructions. Its texts are the live store of the device settings for this run: every
// command reads settings() whenever it needs a value, whether the dialog was last closed with
// OK or Cancel. Only the port name and the status bar texts are applied by an accepted OK.
#pragma once

#include "core/model/devicesettings.h"
#include "gui/dialogs/messagebox.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <optional>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace ombrix {

class TSettingsForm : public QDialog {
    Q_OBJECT
  public:
    // The serial ports to offer; nothing when the system's list cannot be read (then neither
    // list gets a selection).
    using PortLister = std::function<std::optional<QStringList>()>;

    // Fills the port list from `lister` (the system's serial ports, then "Simulator", when
    // none is given).
    explicit TSettingsForm(QWidget* parent = nullptr, PortLister lister = {});

    // The texts as they stand now, whether the dialog was closed with OK or Cancel.
    const DeviceSettings& settings() const { return settings_; }
    DeviceSettings& settings() { return settings_; }

    // Shows the dialog modally, centred on its parent, on page 0 ("&Commnuncation") or 1
    // ("&Advanced"); returns QDialog::Accepted or Rejected.
    int showOnPage(int page);

    // Message boxes go through `hook` when it is set (tests answer Yes or No there).
    void setMessageHook(MessageHook hook) { messageHook_ = std::move(hook); }
    // Tells whether the device port is open (connection settings may not change then).
    void setPortOpenQuery(std::function<bool()> query) { portOpen_ = std::move(query); }
    // Receives the status bar panel texts (1, 4 and 5) of an accepted OK.
    void setStatusHandler(std::function<void(int panel, const QString& text)> handler) {
        statusHandler_ = std::move(handler);
    }

    bool ConnectionSettingsChanged = false;

    // Controls, for the windows that bind to them and for tests.
    QTabWidget* pages() const { return pages_; }
    QComboBox* PortSelect_ComboBox = nullptr;
    QComboBox* BaudRate_ComboBox = nullptr;
    QLineEdit* VRef1Edit = nullptr;
    QLineEdit* VRef2Edit = nullptr;
    QLineEdit* QuartzEdit = nullptr;
    QLineEdit* GenerateTimeEdit = nullptr;
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonCancel = nullptr;
    QPushButton* ButtonHelp = nullptr;

    // The OK button's checks; closes the dialog when they accept.
    void ButtonOKClick();
    // "&Set default": the four advanced fields back to the generator's defaults
    // (kDefaultVRefMv twice, kDefaultQuartzMHz, kDefaultInstructions).
    void ButtonHelpClick();
    void ButtonCancelClick();

  signals:
    // The dialog closed (OK or Cancel) with another quartz or number of instructions than it
    // was shown with: the maximum frequency is due again.
    void timingSettingsChanged();

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

  private:
    void FormCreate(const PortLister& lister);
    bool message(const QString& text, const QString& caption, MessageIcon icon,
                 bool question = false);
    bool keyPress(QLineEdit* edit, QKeyEvent* key);

    DeviceSettings settings_;
    QTabWidget* pages_ = nullptr;
    MessageHook messageHook_;
    std::function<bool()> portOpen_;
    std::function<void(int, const QString&)> statusHandler_;
    std::string shownQuartz_;
    std::string shownInstructions_;
    char sep_ = '.';
};

} // namespace ombrix
