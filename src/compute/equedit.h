// The equation editor "Equation edit": a formula in X typed with buttons and keys.
#pragma once

#include <QDialog>

namespace ombrix {

class TEquForm : public QDialog {
    Q_OBJECT
  public:
    explicit TEquForm(QWidget* parent = nullptr);
};

} // namespace ombrix
