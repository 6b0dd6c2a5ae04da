// Setup → "Remote control...": on or off, the port, whether other computers may connect, and,
// while it is open, the connected clients and the last commands received.
#pragma once

#include "app/remote/remotecontrol.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QSpinBox;

namespace ombrix {

class RemoteServer;

class RemoteDialog : public QDialog {
    Q_OBJECT
  public:
    RemoteDialog(const RemoteChoice& choice, RemoteServer& server, QWidget* parent = nullptr);

    RemoteChoice choice() const;
    // The server's state line ("Listening on port 5025", or why not).
    void setStatus(const QString& text);

    QCheckBox* enabled = nullptr;
    QSpinBox* port = nullptr;
    QCheckBox* otherComputers = nullptr;
    QListWidget* clients = nullptr;
    QListWidget* recent = nullptr;
    QLabel* status = nullptr;

  private:
    void refresh();

    RemoteServer& server_;
};

} // namespace ombrix
