// Setup → "Remote control...": on or off, the port, whether other computers may connect, and,
// while it is open, the connected clients and the last commands received.
#pragma once

#include "app/remote/remotecontrol.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QListWidget;
class QSpinBox;

namespace ombrix {

class RemoteServer;

class RemoteDialog : public QDialog {
    Q_OBJECT
  public:
    // `apply` puts a choice into effect when OK is pressed: an empty text, or why it could not
    // (the dialog then stays open and shows it).
    using Apply = std::function<QString(const RemoteChoice&)>;
    RemoteDialog(const RemoteChoice& choice, RemoteServer& server, Apply apply,
                 QWidget* parent = nullptr);

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
    void tryChoice();

    RemoteServer& server_;
    Apply apply_;
};

} // namespace ombrix
