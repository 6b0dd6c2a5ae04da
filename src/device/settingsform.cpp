#include "device/settingsform.h"

namespace ombrix {

TSettingsForm::TSettingsForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Settings");
    setWindowFlag(Qt::WindowStaysOnTopHint);
}

int TSettingsForm::showOnPage(int) {
    return exec();
}

} // namespace ombrix
