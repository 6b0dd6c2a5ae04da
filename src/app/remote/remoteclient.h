// One remote client on its socket: reads '\n'-terminated lines, runs their commands in order
// and writes each query's answer as a line. A line longer than kMaxLine is refused with an
// error and discarded up to its end; *OPC? and *WAI hold the client's later commands (not
// the window) until the device commands it started have ended. A client that stops reading
// its answers is not read from until they have left.
#pragma once

#include "app/remote/remotesession.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <memory>
#include <variant>

class QTcpSocket;

namespace ombrix {

class RemoteCommands;

// The peer of `socket` has closed or reset the connection; Qt may not have seen it yet.
bool peerHungUp(const QTcpSocket& socket);

class RemoteClient : public QObject {
    Q_OBJECT
  public:
    static constexpr qsizetype kMaxLine = 64 * 1024;
    // Answers waiting to be sent beyond which the client is not read from.
    static constexpr qint64 kMaxUnsent = 1024 * 1024;

    // Takes `socket` over (as a child).
    RemoteClient(QTcpSocket* socket, RemoteCommands& commands, QObject* parent = nullptr);
    ~RemoteClient() override;

    // "127.0.0.1:50122"
    QString peer() const { return peer_; }
    bool peerHungUp() const { return ombrix::peerHungUp(*socket_); }

  signals:
    // A line was read (for the dialog's list of the last commands).
    void lineReceived(const QString& peer, const QByteArray& line);
    // The socket closed; the client may be deleted.
    void gone();

  private:
    using Work = std::variant<scpi::Command, scpi::Error>;
    void pump();
    bool runWork(); // false when the client must wait
    bool takeLine();
    void answer(const std::string& text);

    QTcpSocket* socket_;
    RemoteCommands& commands_;
    QString peer_;
    std::shared_ptr<RemoteSession> session_;
    QByteArray buffer_;
    bool discarding_ = false; // the rest of an over-long line is being dropped
    std::deque<Work> work_;
    bool pumping_ = false;
};

} // namespace ombrix
