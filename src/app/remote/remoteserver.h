// The remote-control server: a raw SCPI socket (TCP, one command or query per line). It
// listens on 127.0.0.1 and ::1 only, unless connections from other computers are accepted;
// at most kMaxClients are served at once, a further client is told so and closed. A client
// that comes while a served one has already hung up (its close not yet handled) waits for
// that place instead: a script that reconnects at once is not refused.
#pragma once

#include <QObject>
#include <QStringList>

#include <deque>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace ombrix {

class RemoteClient;
class RemoteCommands;

class RemoteServer : public QObject {
    Q_OBJECT
  public:
    static constexpr int kMaxClients = 4;
    static constexpr int kRecentCommands = 20;

    explicit RemoteServer(RemoteCommands& commands, QObject* parent = nullptr);
    ~RemoteServer() override;

    // Listens on `port` (0: any free port); an empty text when listening, otherwise why not.
    QString start(quint16 port, bool otherComputers);
    // Closes the listening sockets and every client.
    void stop();
    bool isListening() const { return !servers_.empty(); }
    // The port listened on (0 when not listening).
    quint16 port() const;
    // "127.0.0.1:50122" for each client.
    QStringList clients() const;
    // The last commands received, oldest first: "127.0.0.1:50122  FREQ 1000".
    QStringList recentCommands() const;

  signals:
    // A client came or went, or a command was received.
    void changed();

  private:
    void accept(QTcpServer* server);
    void admit(QTcpSocket* socket);
    void forget(RemoteClient* client);
    void remember(const QString& peer, const QByteArray& line);

    RemoteCommands& commands_;
    bool otherComputers_ = false;
    std::vector<QTcpServer*> servers_;   // children
    std::vector<RemoteClient*> clients_; // children
    std::deque<QTcpSocket*> waiting_;    // children, for the place of a client that hung up
    std::deque<QString> recent_;
};

} // namespace ombrix
