// Remote control of the main window: the SCPI server, the commands it carries out on the
// window, and the user's choice (on or off, port, other computers), kept in the user's
// settings. Off unless chosen in Setup → "Remote control..." or started with --remote.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>

namespace ombrix {

class ElidedLabel;
class LinkDevice;
class RemoteCommands;
class RemoteServer;
class TOmbrix;

// The choice kept between runs.
struct RemoteChoice {
    static constexpr quint16 kDefaultPort = 5025; // the raw SCPI socket's usual port

    bool enabled = false;
    quint16 port = kDefaultPort;
    bool otherComputers = false; // off: 127.0.0.1 and ::1 only

    static RemoteChoice load();
    void save() const;
    bool operator==(const RemoteChoice&) const = default;
};

// What "--remote[=PORT]" asks for: the saved choice, on, at `port` (the saved port when 0).
RemoteChoice remoteChoiceFromCommandLine(quint16 port);

class RemoteControl : public QObject {
    Q_OBJECT
  public:
    explicit RemoteControl(TOmbrix& window);
    ~RemoteControl() override;

    // Starts or stops the server as `choice` says; an empty text, or why it could not listen
    // (also shown in the status bar).
    QString apply(const RemoteChoice& choice);
    const RemoteChoice& choice() const { return choice_; }
    RemoteServer& server() { return *server_; }
    RemoteCommands& commands() { return *commands_; }

    // Setup → "Remote control...": the dialog. OK applies the choice and keeps it; a port the
    // server cannot listen on keeps the dialog open with the reason.
    void openDialog();

  private:
    void showStatus(const QString& text);

    TOmbrix& window_;
    // The last remote error, beside the status panels (a status-bar message would hide them),
    // until kStatusMs after it came.
    ElidedLabel* message_;
    QTimer messageTimer_;
    RemoteChoice choice_;
    std::unique_ptr<LinkDevice> device_;
    std::unique_ptr<RemoteCommands> commands_;
    std::unique_ptr<RemoteServer> server_;
};

} // namespace ombrix
