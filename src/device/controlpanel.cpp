#include "device/controlpanel.h"

#include <QCloseEvent>

namespace ombrix {

TControlPanelForm::TControlPanelForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle("Control Panel");
}

void TControlPanelForm::closeEvent(QCloseEvent* event) {
    emit closed();
    QWidget::closeEvent(event);
}

} // namespace ombrix
