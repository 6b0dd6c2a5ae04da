// The control panel "Control Panel": starts and stops outputs and changes the frequency live.
#pragma once

#include <QWidget>

namespace ombrix {

class TControlPanelForm : public QWidget {
    Q_OBJECT
  public:
    explicit TControlPanelForm(QWidget* parent = nullptr);

  signals:
    // The window was closed by the user (the View menu unticks its item).
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;
};

} // namespace ombrix
