#include "compute/equedit.h"

namespace ombrix {

TEquForm::TEquForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Equation edit");
}

} // namespace ombrix
