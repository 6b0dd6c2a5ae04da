// The settings dialog "Settings": serial port, line speed, reference voltages, quartz and
// instructions. Its texts are the live store of the device settings for this run.
#pragma once

#include "device/devicesettings.h"

#include <QDialog>

namespace ombrix {

class TSettingsForm : public QDialog {
    Q_OBJECT
  public:
    explicit TSettingsForm(QWidget* parent = nullptr);

    // The texts as they stand now, whether the dialog was closed with OK or Cancel.
    const DeviceSettings& settings() const { return settings_; }
    DeviceSettings& settings() { return settings_; }

    // Shows the dialog modally on page 0 ("&Commnuncation") or 1 ("&Advanced").
    int showOnPage(int page);

  private:
    DeviceSettings settings_;
};

} // namespace ombrix
