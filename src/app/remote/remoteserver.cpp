#include "app/remote/remoteserver.h"

#include "app/remote/remoteclient.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>

namespace ombrix {

RemoteServer::RemoteServer(RemoteCommands& commands, QObject* parent)
    : QObject(parent), commands_(commands) {}

RemoteServer::~RemoteServer() {
    stop();
}

QString RemoteServer::start(quint16 port, bool otherComputers) {
    stop();
    otherComputers_ = otherComputers;
    auto listen = [this](const QHostAddress& address, quint16 p) -> QString {
        auto* server = new QTcpServer(this);
        if (!server->listen(address, p)) {
            const QString error = server->errorString();
            delete server;
            return error;
        }
        connect(server, &QTcpServer::newConnection, this, [this, server] { accept(server); });
        servers_.push_back(server);
        return {};
    };
    if (otherComputers) {
        if (QString error = listen(QHostAddress::Any, port); !error.isEmpty())
            return error;
    } else {
        if (QString error = listen(QHostAddress::LocalHost, port); !error.isEmpty())
            return error;
        // ::1 too where the machine has IPv6; 127.0.0.1 alone serves otherwise.
        listen(QHostAddress::LocalHostIPv6, servers_.front()->serverPort());
    }
    emit changed();
    return {};
}

void RemoteServer::stop() {
    for (QTcpServer* server : servers_)
        delete server;
    servers_.clear();
    std::vector<RemoteClient*> clients = std::move(clients_);
    clients_.clear();
    for (RemoteClient* client : clients)
        delete client;
    emit changed();
}

quint16 RemoteServer::port() const {
    return servers_.empty() ? 0 : servers_.front()->serverPort();
}

QStringList RemoteServer::clients() const {
    QStringList out;
    for (const RemoteClient* c : clients_)
        out << c->peer();
    return out;
}

QStringList RemoteServer::recentCommands() const {
    return QStringList(recent_.begin(), recent_.end());
}

void RemoteServer::accept(QTcpServer* server) {
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        const bool local = socket->peerAddress().isLoopback();
        if (static_cast<int>(clients_.size()) >= kMaxClients || (!otherComputers_ && !local)) {
            // Told why, then closed; the socket goes once the close is done.
            socket->write(static_cast<int>(clients_.size()) >= kMaxClients
                              ? "-200,\"Execution error; at most 4 clients at once\"\n"
                              : "-200,\"Execution error; connections from other computers are "
                                "not accepted\"\n");
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromHost();
            continue;
        }
        auto* client = new RemoteClient(socket, commands_, this);
        clients_.push_back(client);
        connect(client, &RemoteClient::lineReceived, this, &RemoteServer::remember);
        connect(client, &RemoteClient::gone, this, [this, client] {
            const auto it = std::find(clients_.begin(), clients_.end(), client);
            if (it == clients_.end())
                return;
            clients_.erase(it);
            client->deleteLater();
            emit changed();
        });
        emit changed();
    }
}

void RemoteServer::remember(const QString& peer, const QByteArray& line) {
    QString shown = QString::fromLatin1(line.left(200));
    for (QChar& c : shown)
        if (!c.isPrint())
            c = u'.';
    recent_.push_back(peer + "  " + shown);
    while (static_cast<int>(recent_.size()) > kRecentCommands)
        recent_.pop_front();
    emit changed();
}

} // namespace ombrix
